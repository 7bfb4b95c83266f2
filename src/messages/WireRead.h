// Checked reads for the node-message layer: each one turns a short read of
// arxmod::ByteReader into a traced UnderflowStream, so no decoder can read
// past the end of its input or act on a half-read field.
//
// Byte runs whose length came from the wire are checked against the input
// that remains before anything is allocated, so a hostile length cannot make
// the decoder reserve memory it will never fill.
#pragma once

#include "base/ByteReader.h"
#include "messages/ENVL_Exception.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace arxmod::wire {

using Where = SourceLine;

inline void require(bool ok, std::string_view unit, const Where &where) {
  if (!ok)
    throwTraced(unit, UnderflowStream(), where);
}

// One big-endian field of type T (uint8_t, uint16_t or uint32_t).
template <typename T>
T take(ByteReader &reader, std::string_view unit, const Where &where = Where::current()) {
  static_assert(sizeof(T) == 1 || sizeof(T) == 2 || sizeof(T) == 4);
  T value = 0;
  bool ok = false;
  if constexpr (sizeof(T) == 1)
    ok = reader.readU8(value);
  else if constexpr (sizeof(T) == 2)
    ok = reader.readU16BE(value);
  else
    ok = reader.readU32BE(value);
  require(ok, unit, where);
  return value;
}

// The session identifier's little-endian u32.
inline uint32_t takeU32LE(ByteReader &reader, std::string_view unit,
                          const Where &where = Where::current()) {
  uint32_t value = 0;
  require(reader.readU32LE(value), unit, where);
  return value;
}

// The next `count` bytes as an owned buffer; the length is checked first.
inline std::vector<uint8_t> takeBytes(ByteReader &reader, size_t count, std::string_view unit,
                                      const Where &where = Where::current()) {
  std::span<const uint8_t> view;
  require(reader.readView(count, view), unit, where);
  return {view.begin(), view.end()};
}

} // namespace arxmod::wire
