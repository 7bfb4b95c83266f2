// ByteWriter: appends encoded bytes either to a growing buffer or into a
// caller's fixed buffer.
//
// A fixed-capacity writer never writes past its capacity: the first write
// that does not fit sets failed() and is dropped, together with every later
// write. The plug-in boundary uses that to report an answer buffer that is
// too small (-1) instead of overrunning the host's memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>
#include <vector>

namespace arxmod {

class ByteWriter {
public:
  // A growing writer whose bytes are kept in bytes().
  ByteWriter() = default;
  // A growing writer that allocates once for the first `expected` bytes.
  explicit ByteWriter(size_t expected) { growing_.reserve(expected); }
  // A writer into the caller's buffer of `capacity` bytes.
  ByteWriter(uint8_t *buffer, size_t capacity) : fixed_(buffer), capacity_(buffer ? capacity : 0) {}

  bool failed() const noexcept { return failed_; }
  size_t size() const noexcept { return fixed_ ? fixedSize_ : growing_.size(); }
  const std::vector<uint8_t> &bytes() const noexcept { return growing_; }
  std::vector<uint8_t> takeBytes() noexcept { return std::move(growing_); }

  void writeU8(uint8_t value) { append(&value, 1); }
  void writeU16BE(uint16_t value) {
    const uint8_t b[2] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    append(b, 2);
  }
  void writeU32BE(uint32_t value) {
    const uint8_t b[4] = {static_cast<uint8_t>(value >> 24), static_cast<uint8_t>(value >> 16),
                          static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
    append(b, 4);
  }
  void writeU16LE(uint16_t value) {
    const uint8_t b[2] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8)};
    append(b, 2);
  }
  void writeU32LE(uint32_t value) {
    const uint8_t b[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                          static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    append(b, 4);
  }
  void writeBytes(std::span<const uint8_t> bytes) { append(bytes.data(), bytes.size()); }

private:
  void append(const uint8_t *data, size_t count) {
    if (!fixed_) {
      growing_.insert(growing_.end(), data, data + count);
      return;
    }
    if (failed_ || count > capacity_ - fixedSize_) {
      failed_ = true;
      return;
    }
    if (count)
      std::memcpy(fixed_ + fixedSize_, data, count);
    fixedSize_ += count;
  }

  std::vector<uint8_t> growing_;
  uint8_t *fixed_ = nullptr;
  size_t capacity_ = 0;
  size_t fixedSize_ = 0;
  bool failed_ = false;
};

} // namespace arxmod
