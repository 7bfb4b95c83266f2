// ByteReader: a bounds-checked cursor over bytes that came from a host, a
// meter or a file.
//
// Every read reports whether the input held all the bytes it needed and
// never reads past the end; on a short read the cursor does not move. The
// caller decides which exception a short read becomes, because each layer
// names its own failure ("UnderflowStream", "Bad Packet", ...).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

namespace arxmod {

class ByteReader {
public:
  explicit ByteReader(std::span<const uint8_t> bytes) : bytes_(bytes) {}
  ByteReader(const uint8_t *data, size_t size) : bytes_(data, data ? size : 0) {}

  size_t position() const noexcept { return position_; }
  size_t size() const noexcept { return bytes_.size(); }
  size_t remaining() const noexcept { return bytes_.size() - position_; }
  bool atEnd() const noexcept { return position_ == bytes_.size(); }
  bool has(size_t count) const noexcept { return count <= remaining(); }

  // Moves the cursor back to an earlier position (used to put back a byte
  // that was only looked at).
  void rewindTo(size_t position) noexcept {
    if (position <= position_)
      position_ = position;
  }

  bool peekU8(uint8_t &value) const noexcept {
    if (!has(1))
      return false;
    value = bytes_[position_];
    return true;
  }
  bool readU8(uint8_t &value) noexcept {
    if (!peekU8(value))
      return false;
    ++position_;
    return true;
  }
  bool readU16BE(uint16_t &value) noexcept { return readBig(value); }
  bool readU32BE(uint32_t &value) noexcept { return readBig(value); }
  bool readU16LE(uint16_t &value) noexcept { return readLittle(value); }
  bool readU32LE(uint32_t &value) noexcept { return readLittle(value); }

  bool readBytes(std::span<uint8_t> out) noexcept {
    if (!has(out.size()))
      return false;
    if (!out.empty())
      std::memcpy(out.data(), bytes_.data() + position_, out.size());
    position_ += out.size();
    return true;
  }
  // A view of the next count bytes, consumed; empty span and false when short.
  bool readView(size_t count, std::span<const uint8_t> &view) noexcept {
    if (!has(count))
      return false;
    view = bytes_.subspan(position_, count);
    position_ += count;
    return true;
  }

private:
  template <typename T> bool readBig(T &value) noexcept {
    if (!has(sizeof(T)))
      return false;
    T result = 0;
    for (size_t i = 0; i < sizeof(T); ++i)
      result = static_cast<T>((result << 8) | bytes_[position_ + i]);
    position_ += sizeof(T);
    value = result;
    return true;
  }
  template <typename T> bool readLittle(T &value) noexcept {
    if (!has(sizeof(T)))
      return false;
    T result = 0;
    for (size_t i = sizeof(T); i-- > 0;)
      result = static_cast<T>((result << 8) | bytes_[position_ + i]);
    position_ += sizeof(T);
    value = result;
    return true;
  }

  std::span<const uint8_t> bytes_;
  size_t position_ = 0;
};

} // namespace arxmod
