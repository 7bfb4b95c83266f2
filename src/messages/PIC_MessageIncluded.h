// PIC_MessageIncluded: the node message (service 1, type 0) that carries a
// program request to a device and the device's answer back.
//
// Wire form: service byte, type byte, one program message. It may be built
// without a program message (then it encodes only its frame), but decoding
// always reads one.
#pragma once

#include "messages/ProgramCarrier.h"

namespace arxmod {

class PIC_MessageIncluded : public ProgramCarrier {
public:
  static constexpr uint8_t kType = 0;

  PIC_MessageIncluded() : ProgramCarrier(kServiceMessageIncluded, kType) {}
  explicit PIC_MessageIncluded(std::unique_ptr<PIC_Message> message) : PIC_MessageIncluded() {
    setProgramMessage(std::move(message));
  }
  PIC_MessageIncluded(const PIC_MessageIncluded &) = default;

  std::unique_ptr<NodeMessage> copy() const override;
  void encode(ByteWriter &writer) const override;
  void print(std::ostream &out, bool raw) const override;
  void decode(ByteReader &reader) override;
  PIC_MessageIncluded *asPIC_MessageIncluded() override { return this; }
  // 2 plus the program message's encoded length.
  size_t encodedLength() const override { return 2 + programEncodedLength(); }
};

} // namespace arxmod
