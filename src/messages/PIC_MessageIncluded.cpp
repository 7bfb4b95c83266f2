// PIC_MessageIncluded: frame plus one program message.
#include "messages/PIC_MessageIncluded.h"

namespace arxmod {

std::unique_ptr<NodeMessage> PIC_MessageIncluded::copy() const {
  return std::make_unique<PIC_MessageIncluded>(*this);
}

void PIC_MessageIncluded::encode(ByteWriter &writer) const {
  encodeFrame(writer);
  encodeProgram(writer);
}

void PIC_MessageIncluded::print(std::ostream &out, bool raw) const {
  printType(out);
  printProgram(out, raw);
}

void PIC_MessageIncluded::decode(ByteReader &reader) {
  decodeFrame(reader);
  decodeProgram(reader);
}

} // namespace arxmod
