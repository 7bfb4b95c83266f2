// NibbleWriter: the writer of the nibble-oriented token stream that carries
// programs and results, and PICErrors, the failure code raised inside the
// encoder and the decoder.
//
// Bytes are filled high nibble first. A byte written while half a byte is
// pending straddles two output bytes, which is how keys of one nibble and
// sizes of an odd number of nibbles keep every payload byte-aligned. The
// writer works over a caller's fixed buffer and never writes past it: the
// first write that finds the buffer full raises PICErrors 6.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <span>

namespace arxmod {

// An encoder or decoder failure code. It never leaves this subsystem: the
// encode and decode entry points turn it into PICType::ParseError.
class PICErrors : public std::exception {
public:
  explicit PICErrors(int code) noexcept : code_(code) {}
  int code() const noexcept { return code_; }
  const char *what() const noexcept override { return "PICErrors"; }

private:
  int code_;
};

// The failure codes, named after their cause.
namespace pic_error {
inline constexpr int kBadLexState = 5;
inline constexpr int kBufferFull = 6;
inline constexpr int kLengthNotInLowHalf = 7;
inline constexpr int kIntegerTooLong = 8;
inline constexpr int kComplex = 9;
inline constexpr int kUnknownKey = 10;
inline constexpr int kBadPayload = 11;
inline constexpr int kHandleAllOnes = 13;
inline constexpr int kMethodZero16 = 14;
inline constexpr int kStatementHandleAllOnes = 16;
inline constexpr int kKeyWithoutCode = 18;
inline constexpr int kMethodNumberZero = 19;
inline constexpr int kBadArraySize = 20;
inline constexpr int kBadFloatLength = 21;
inline constexpr int kBadFixedPointLength = 22;
} // namespace pic_error

class NibbleWriter {
public:
  explicit NibbleWriter(std::span<uint8_t> buffer) noexcept
      : begin_(buffer.data()), position_(buffer.data()), end_(buffer.data() + buffer.size()) {}

  void putNibble(unsigned nibble);
  void putByte(uint8_t byte);
  void put16(uint16_t value);
  void put32(uint32_t value);
  void put12(uint16_t value);
  void putBytes(std::span<const uint8_t> bytes);

  // Payload length after a one-nibble key (the low half of a byte must be
  // next): below 13 one nibble, below 256 nibble 13 and a byte, otherwise
  // nibble 14 and 32 bits.
  void putLength(uint32_t length);
  // Array size: up to 13 one nibble, up to 255 nibble 14 and a byte,
  // otherwise nibble 15 and 32 bits.
  void putArraySize(uint32_t size);

  bool halfPending() const noexcept { return half_; }
  // Bytes completed so far (a pending high nibble is not counted).
  size_t size() const noexcept { return static_cast<size_t>(position_ - begin_); }
  // Writes a pending high nibble out with a zero low nibble.
  void flush();

private:
  void store(uint8_t byte);

  uint8_t *begin_;
  uint8_t *position_;
  uint8_t *end_;
  bool half_ = false;
  uint8_t pending_ = 0; // the high nibble waiting for its low half
};

} // namespace arxmod
