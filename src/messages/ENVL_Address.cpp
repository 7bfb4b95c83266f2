// ENVL_Address: node addresses on the wire and in text.
#include "messages/ENVL_Address.h"

#include "messages/CompactNumber.h"

#include <ostream>

namespace arxmod {

void ENVL_Address::encode(ByteWriter &writer) const {
  writeCompactLong(writer, value_);
}

void ENVL_Address::decode(ByteReader &reader) {
  value_ = readCompact(reader) & kMask;
}

std::string ENVL_Address::text() const {
  return " " + std::to_string(value_ & 0xFFFF) + "." + std::to_string((value_ >> 16) & 0x3FFF) +
         "." + std::to_string((value_ >> 30) & 1);
}

void ENVL_Address::print(std::ostream &out) const {
  out << text();
}

} // namespace arxmod
