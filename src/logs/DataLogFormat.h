// The data log file: header, record slots, auxiliary channel block and
// trailer. Integers are big-endian; doubles are their 8 bytes in
// little-endian order.
//
// Header (H = 46 + 4K bytes):
//   0   magic 0xAAFF55AA          24  identifier (the log key), high word
//   4   version 2                 28  identifier, low word
//   8   header length H           32  auxiliary channels A
//   12  configuration word 1      36  source handles K
//   16  configuration word 2      40  values per record V
//   20  depth D (record slots)    44  the K source handles, then the CRC
//                                     of bytes 0 .. 43 + 4K
//
// Record slot i (0 <= i < D) at H + R * i, R = 9V + 14; the record with
// sequence number s lives in slot s mod D:
//   0   sequence number s         12 + 9j  value j: type byte
//   4   time stamp (double)       13 + 9j  value j: double
//   R - 2  CRC of bytes 0 .. R - 3
//
// Auxiliary block at H + R * D, 8 (D + 1) bytes per channel: identifier,
// value count n, n 64-bit values (high word first), zeros up to D values.
// Trailer after it: 0xAAFF55AA in little-endian order (AA 55 FF AA).
//
// Configuration word 1 is the handle of the module that owns the log,
// configuration word 2 the value encoding (kValueEncoding: a type byte from
// RecordValueType and a double). A file whose words differ was written for
// another module or in another encoding and is not restored.
#pragma once

#include "logs/LogKey.h"
#include "types/PICType.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace arxmod {

inline constexpr uint32_t kDataLogMagic = 0xAAFF55AA;
inline constexpr uint32_t kDataLogVersion = 2;
inline constexpr uint32_t kValueEncoding = 1;
inline constexpr size_t kDataLogFixedHeaderSize = 44;
inline constexpr size_t kRecordHeadSize = 12; // sequence number and time stamp
inline constexpr size_t kRecordValueSize = 9;
inline constexpr uint8_t kDataLogTrailer[4] = {0xAA, 0x55, 0xFF, 0xAA};

// The type byte of a record value: the class the value is read back as.
enum class RecordValueType : uint8_t {
  NotAvailable = 0, // an ExceptionType (the double holds its code) or no value
  Signed = 1,
  Unsigned = 2,
  Boolean = 3,
  Float32 = 4,
  Float64 = 5,
  Float80 = 6,
  FixedPoint = 7,
  Char = 8,
};
inline constexpr uint8_t kLastRecordValueType = 8;

constexpr size_t dataLogHeaderSize(size_t sources) {
  return kDataLogFixedHeaderSize + 4 * sources + 2;
}
constexpr size_t dataLogRecordSize(size_t values) { return kRecordValueSize * values + 14; }
constexpr size_t auxBlockSize(size_t depth, size_t channels) { return 8 * (depth + 1) * channels; }

struct DataLogConfig {
  uint32_t word1 = 0;
  uint32_t word2 = kValueEncoding;
  uint32_t depth = 0;
  LogKey identifier = 0;
  uint32_t auxChannels = 0;
  std::vector<uint32_t> sources;
  uint32_t valuesPerRecord = 0;

  size_t headerSize() const { return dataLogHeaderSize(sources.size()); }
  size_t recordSize() const { return dataLogRecordSize(valuesPerRecord); }
  uint64_t recordsOffset() const { return headerSize(); }
  uint64_t auxOffset() const { return headerSize() + uint64_t{recordSize()} * depth; }
  uint64_t trailerOffset() const { return auxOffset() + auxBlockSize(depth, auxChannels); }
  uint64_t fileSize() const { return trailerOffset() + sizeof kDataLogTrailer; }
  bool operator==(const DataLogConfig &) const = default;
};

// The header bytes of `config`, CRC included.
std::vector<uint8_t> encodeDataLogHeader(const DataLogConfig &config);

// The fixed part of a stored header (its first 44 bytes).
struct StoredHeaderStart {
  uint32_t magic, version, headerLength, word1, word2, depth, idHigh, idLow, auxChannels, sources,
      valuesPerRecord;
};
StoredHeaderStart readHeaderStart(std::span<const uint8_t, kDataLogFixedHeaderSize> bytes);

// Writes the type byte and the double of `value` at `out`; false when the
// value has no record encoding.
bool encodeRecordValue(const PICType &value, uint8_t *out) noexcept;
// The value stored at `in`, built in `blob`; nullptr for an unknown type byte.
PICType *decodeRecordValue(const uint8_t *in, MemoryBlob &blob);
// True when `in` holds a known type byte.
inline bool knownRecordValueType(const uint8_t *in) { return *in <= kLastRecordValueType; }

// One auxiliary channel: an identifier and up to D 64-bit values, oldest first.
struct AuxChannel {
  uint32_t identifier = 0;
  std::vector<uint64_t> values;
  bool operator==(const AuxChannel &) const = default;
};

// The auxiliary block of `channels` for a log of `depth` slots (each
// channel holds at most `depth` values).
std::vector<uint8_t> encodeAuxBlock(std::span<const AuxChannel> channels, uint32_t depth);
// Reads `count` channels from a block of auxBlockSize(depth, count) bytes;
// false when a channel claims more than `depth` values.
bool decodeAuxBlock(std::span<const uint8_t> bytes, uint32_t depth, uint32_t count,
                    std::vector<AuxChannel> &channels);

// Sequence number and time stamp of a record.
void writeRecordHead(uint8_t *record, uint32_t sequence, double time) noexcept;
uint32_t recordSequence(const uint8_t *record) noexcept;
double recordTime(const uint8_t *record) noexcept;

void storeDoubleLE(double value, uint8_t *out) noexcept;
double loadDoubleLE(const uint8_t *in) noexcept;

} // namespace arxmod
