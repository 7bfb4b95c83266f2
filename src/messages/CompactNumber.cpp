// Compact numbers: two- and four-byte forms of 31-bit values.
#include "messages/CompactNumber.h"

#include "messages/ENVL_Exception.h"
#include "messages/WireRead.h"

namespace arxmod {

namespace {
constexpr uint32_t kLongFormBit = 0x80000000;
} // namespace

void writeCompactLong(ByteWriter &writer, uint32_t value) {
  if (value > kCompactMax)
    throwTraced(kUnitBase, ENVL_Exception("Compact number " + std::to_string(value) +
                                          " does not fit in 31 bits"));
  writer.writeU32BE(value | kLongFormBit);
}

void writeCompact(ByteWriter &writer, uint32_t value) {
  if (value < kCompactShortLimit)
    writer.writeU16BE(static_cast<uint16_t>(value));
  else
    writeCompactLong(writer, value);
}

uint32_t readCompact(ByteReader &reader) {
  const uint16_t first = wire::take<uint16_t>(reader, kUnitBase);
  if (first < kCompactShortLimit)
    return first;
  const uint32_t upper = first - kCompactShortLimit;
  const uint16_t lower = wire::take<uint16_t>(reader, kUnitBase);
  return (upper << 16) | lower;
}

} // namespace arxmod
