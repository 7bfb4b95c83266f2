// ProgramCarrier: program-message operations shared by the two carriers.
#include "messages/ProgramCarrier.h"

#include "messages/ENVL_Exception.h"

namespace arxmod {

ProgramCarrier::ProgramCarrier(const ProgramCarrier &other)
    : NodeMessage(other),
      program_(other.program_ ? std::make_unique<PIC_Message>(*other.program_) : nullptr) {}

PIC_MessageImpl &ProgramCarrier::held() const {
  if (!program_)
    throwTraced(kUnitMesg, NoPIC_MessageIncluded());
  return program_->impl();
}

int ProgramCarrier::switchExecutionMode(int mode) { return held().switchExecutionMode(mode); }
void ProgramCarrier::setActions(uint16_t actions) { held().setActions(actions); }
void ProgramCarrier::setStatus(uint8_t status) { held().setStatus(status); }
void ProgramCarrier::setPid(uint16_t pid) { held().setPid(pid); }
void ProgramCarrier::setPriority(uint8_t priority) { held().setPriority(priority); }
void ProgramCarrier::clearProgramAndResult() { held().clearProgramAndResult(); }
uint16_t ProgramCarrier::pid() const { return held().pid(); }
uint8_t ProgramCarrier::status() const { return held().status(); }
uint16_t ProgramCarrier::actions() const { return held().actions(); }
uint8_t ProgramCarrier::priority() const { return held().priority(); }

PIC_Message &ProgramCarrier::programMessage() {
  held();
  return *program_;
}

size_t ProgramCarrier::programEncodedLength() const noexcept {
  return program_ ? program_->encodedLength() : 0;
}

void ProgramCarrier::encodeProgram(ByteWriter &writer) const {
  if (program_)
    program_->encode(writer);
}

void ProgramCarrier::decodeProgram(ByteReader &reader) {
  auto message = std::make_unique<PIC_Message>();
  message->decode(reader);
  program_ = std::move(message);
}

void ProgramCarrier::printProgram(std::ostream &out, bool raw) const {
  if (program_)
    program_->print(out, raw);
}

} // namespace arxmod
