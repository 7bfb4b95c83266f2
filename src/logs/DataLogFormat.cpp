// The data log file: header, record values and auxiliary block.
#include "logs/DataLogFormat.h"

#include "base/ByteReader.h"
#include "base/ByteWriter.h"
#include "logs/Crc16.h"
#include "types/NumericTypes.h"
#include "types/StructureTypes.h"

#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstring>

namespace arxmod {
namespace {

// Scalars by their type names, which tell them apart without a cast per
// value (appends run at a million records a second).
std::optional<RecordValueType> scalarType(std::string_view name) {
  if (name == "Float64Type")
    return RecordValueType::Float64;
  if (name == "SignedType")
    return RecordValueType::Signed;
  if (name == "UnsignedType")
    return RecordValueType::Unsigned;
  if (name == "BooleanType")
    return RecordValueType::Boolean;
  if (name == "Float32Type")
    return RecordValueType::Float32;
  if (name == "Float80Type")
    return RecordValueType::Float80;
  if (name == "FixedPointType")
    return RecordValueType::FixedPoint;
  if (name == "CharType")
    return RecordValueType::Char;
  return std::nullopt;
}

// Not available: a value that failed (an exception value keeps its code) or none.
constexpr double kNoValueCode = 5;

// `number` limited to [low, high]; 0 for NaN (the file may hold any bits).
double saturate(double number, double low, double high) {
  if (std::isnan(number))
    return 0;
  return std::clamp(number, low, high);
}
constexpr double kInt32Min = -2147483648.0;
constexpr double kInt32Max = 2147483647.0;
constexpr double kUint32Max = 4294967295.0;

} // namespace

std::vector<uint8_t> encodeDataLogHeader(const DataLogConfig &config) {
  ByteWriter out;
  out.writeU32BE(kDataLogMagic);
  out.writeU32BE(kDataLogVersion);
  out.writeU32BE(static_cast<uint32_t>(config.headerSize()));
  out.writeU32BE(config.word1);
  out.writeU32BE(config.word2);
  out.writeU32BE(config.depth);
  out.writeU32BE(logKeyDevice(config.identifier));
  out.writeU32BE(logKeyHandle(config.identifier));
  out.writeU32BE(config.auxChannels);
  out.writeU32BE(static_cast<uint32_t>(config.sources.size()));
  out.writeU32BE(config.valuesPerRecord);
  for (const uint32_t source : config.sources)
    out.writeU32BE(source);
  out.writeU16BE(crc16Modbus(out.bytes()));
  return out.takeBytes();
}

StoredHeaderStart readHeaderStart(std::span<const uint8_t, kDataLogFixedHeaderSize> bytes) {
  ByteReader in(bytes);
  StoredHeaderStart start{};
  for (uint32_t *field :
       {&start.magic, &start.version, &start.headerLength, &start.word1, &start.word2, &start.depth,
        &start.idHigh, &start.idLow, &start.auxChannels, &start.sources, &start.valuesPerRecord})
    in.readU32BE(*field);
  return start;
}

bool encodeRecordValue(const PICType &value, uint8_t *out) noexcept {
  const std::optional<RecordValueType> type = scalarType(value.typeName());
  double number = 0;
  if (type) {
    number = static_cast<const NumericType &>(value).asDouble();
  } else if (const auto *failed = dynamic_cast<const ExceptionType *>(&value)) {
    number = failed->code();
  } else if (value.typeName() == "VoidType") {
    number = kNoValueCode;
  } else {
    return false;
  }
  out[0] = static_cast<uint8_t>(type.value_or(RecordValueType::NotAvailable));
  storeDoubleLE(number, out + 1);
  return true;
}

PICType *decodeRecordValue(const uint8_t *in, MemoryBlob &blob) {
  const double number = loadDoubleLE(in + 1);
  switch (static_cast<RecordValueType>(in[0])) {
  case RecordValueType::NotAvailable: {
    auto *failed = blob.make<ExceptionType>();
    failed->setCode(static_cast<uint32_t>(saturate(number, 0, kUint32Max)));
    return failed;
  }
  case RecordValueType::Signed:
    return blob.make<SignedType>(static_cast<int32_t>(saturate(number, kInt32Min, kInt32Max)));
  case RecordValueType::Unsigned:
    return blob.make<UnsignedType>(static_cast<uint32_t>(saturate(number, 0, kUint32Max)));
  case RecordValueType::Boolean:
    return blob.make<BooleanType>(number != 0 ? 1u : 0u);
  case RecordValueType::Float32:
    // Infinities and NaN convert as they are; only finite values beyond
    // the float range need limiting.
    return blob.make<Float32Type>(static_cast<float>(
        std::isfinite(number) ? std::clamp<double>(number, -FLT_MAX, FLT_MAX) : number));
  case RecordValueType::Float64:
    return blob.make<Float64Type>(number);
  case RecordValueType::Float80:
    return blob.make<Float80Type>(number);
  case RecordValueType::FixedPoint:
    return blob.make<FixedPointType>(
        FixedPoint::fromDouble(saturate(number, kInt32Min, -kInt32Min)));
  case RecordValueType::Char:
    return blob.make<CharType>(static_cast<uint32_t>(saturate(number, 0, kUint32Max)));
  }
  return nullptr;
}

std::vector<uint8_t> encodeAuxBlock(std::span<const AuxChannel> channels, uint32_t depth) {
  std::vector<uint8_t> block(auxBlockSize(depth, channels.size()), 0);
  size_t at = 0;
  for (const AuxChannel &channel : channels) {
    ByteWriter out(block.data() + at, 8 * (size_t{depth} + 1));
    const size_t count = std::min<size_t>(channel.values.size(), depth);
    out.writeU32BE(channel.identifier);
    out.writeU32BE(static_cast<uint32_t>(count));
    for (size_t i = channel.values.size() - count; i < channel.values.size(); ++i) {
      out.writeU32BE(static_cast<uint32_t>(channel.values[i] >> 32));
      out.writeU32BE(static_cast<uint32_t>(channel.values[i]));
    }
    at += 8 * (size_t{depth} + 1);
  }
  return block;
}

bool decodeAuxBlock(std::span<const uint8_t> bytes, uint32_t depth, uint32_t count,
                    std::vector<AuxChannel> &channels) {
  if (bytes.size() != auxBlockSize(depth, count))
    return false;
  ByteReader in(bytes);
  std::vector<AuxChannel> read(count);
  for (AuxChannel &channel : read) {
    const size_t start = in.position();
    uint32_t values = 0;
    in.readU32BE(channel.identifier);
    in.readU32BE(values);
    if (values > depth)
      return false;
    channel.values.resize(values);
    for (uint64_t &value : channel.values) {
      uint32_t high = 0, low = 0;
      in.readU32BE(high);
      in.readU32BE(low);
      value = (uint64_t{high} << 32) | low;
    }
    std::span<const uint8_t> skipped;
    in.readView(start + 8 * (size_t{depth} + 1) - in.position(), skipped);
  }
  channels = std::move(read);
  return true;
}

void writeRecordHead(uint8_t *record, uint32_t sequence, double time) noexcept {
  record[0] = static_cast<uint8_t>(sequence >> 24);
  record[1] = static_cast<uint8_t>(sequence >> 16);
  record[2] = static_cast<uint8_t>(sequence >> 8);
  record[3] = static_cast<uint8_t>(sequence);
  storeDoubleLE(time, record + 4);
}

uint32_t recordSequence(const uint8_t *record) noexcept {
  return (uint32_t{record[0]} << 24) | (uint32_t{record[1]} << 16) | (uint32_t{record[2]} << 8) |
         record[3];
}

double recordTime(const uint8_t *record) noexcept { return loadDoubleLE(record + 4); }

void storeDoubleLE(double value, uint8_t *out) noexcept {
  uint64_t bits = std::bit_cast<uint64_t>(value);
  if constexpr (std::endian::native == std::endian::big)
    bits = __builtin_bswap64(bits);
  std::memcpy(out, &bits, sizeof bits);
}

double loadDoubleLE(const uint8_t *in) noexcept {
  uint64_t bits = 0;
  std::memcpy(&bits, in, sizeof bits);
  if constexpr (std::endian::native == std::endian::big)
    bits = __builtin_bswap64(bits);
  return std::bit_cast<double>(bits);
}

} // namespace arxmod
