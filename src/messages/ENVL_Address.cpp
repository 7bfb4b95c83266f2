// ENVL_Address: node addresses on the wire and in text.
#include "messages/ENVL_Address.h"

#include "messages/CompactNumber.h"

#include <cstdio>
#include <ostream>

namespace arxmod {

void ENVL_Address::encode(ByteWriter &writer) const { writeCompactLong(writer, value_); }

void ENVL_Address::decode(ByteReader &reader) { value_ = readCompact(reader) & kMask; }

std::string ENVL_Address::text() const {
  char text[24];
  std::snprintf(text, sizeof text, " %u.%u.%u", value_ & 0xFFFF, (value_ >> 16) & 0x3FFF,
                (value_ >> 30) & 1);
  return text;
}

void ENVL_Address::print(std::ostream &out) const { out << text(); }

} // namespace arxmod
