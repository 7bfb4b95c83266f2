// ProgramCarrier: the part that PIC_MessageIncluded and PollPIC_Message have
// in common, an owned program message that may be absent, and the
// program-message operations acted out on it.
//
// Every operation on an absent program message raises NoPIC_MessageIncluded.
// Copies are deep: a copied carrier owns its own program and result buffers.
#pragma once

#include "messages/NodeMessage.h"
#include "messages/PIC_Message.h"

#include <memory>

namespace arxmod {

class ProgramCarrier : public NodeMessage {
public:
  bool hasProgramMessage() const noexcept { return program_ != nullptr; }
  // Replaces the held program message (nullptr leaves none).
  void setProgramMessage(std::unique_ptr<PIC_Message> message) noexcept {
    program_ = std::move(message);
  }

  int switchExecutionMode(int mode) override;
  void setActions(uint16_t actions) override;
  void setStatus(uint8_t status) override;
  void setPid(uint16_t pid) override;
  void setPriority(uint8_t priority) override;
  void clearProgramAndResult() override;
  PIC_Message &programMessage() override;
  using NodeMessage::programMessage;
  uint16_t pid() const override;
  uint8_t status() const override;
  uint16_t actions() const override;
  uint8_t priority() const override;

protected:
  ProgramCarrier(uint8_t service, uint8_t type) : NodeMessage(service, type) {}
  ProgramCarrier(const ProgramCarrier &other);

  // Encoded length of the held program message, 0 when there is none.
  size_t programEncodedLength() const noexcept;
  // Writes the program message when there is one.
  void encodeProgram(ByteWriter &writer) const;
  // Reads a program message, replacing the one held.
  void decodeProgram(ByteReader &reader);
  // The program message's text when there is one.
  void printProgram(std::ostream &out, bool raw) const;

private:
  PIC_MessageImpl &held() const;

  std::unique_ptr<PIC_Message> program_;
};

} // namespace arxmod
