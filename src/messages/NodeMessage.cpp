// NodeMessage: the common frame and the defaults of the operation set.
#include "messages/NodeMessage.h"

#include "messages/ENVL_Exception.h"
#include "messages/TextForm.h"
#include "messages/WireRead.h"

#include <ostream>

namespace arxmod {

namespace {

[[noreturn]] void noProgram(SourceLine where = SourceLine::current()) {
  throwTraced(kUnitBase, NoPIC_MessageIncluded(), where);
}

[[noreturn]] void noPoll(SourceLine where = SourceLine::current()) {
  throwTraced(kUnitBase, NoPollPIC_Message(), where);
}

} // namespace

void NodeMessage::encode(ByteWriter &writer) const { writer.writeU8(service_); }

void NodeMessage::print(std::ostream &, bool) const {}

void NodeMessage::decode(ByteReader &reader) { service_ = wire::take<uint8_t>(reader, kUnitBase); }

void NodeMessage::encodeFrame(ByteWriter &writer) const {
  writer.writeU8(service_);
  writer.writeU8(type_);
}

void NodeMessage::decodeFrame(ByteReader &reader) {
  service_ = wire::take<uint8_t>(reader, kUnitMesg);
  type_ = wire::take<uint8_t>(reader, kUnitMesg);
}

void NodeMessage::decodeFixedFrame(ByteReader &reader) {
  const uint8_t service = wire::take<uint8_t>(reader, kUnitMesg);
  if (wire::take<uint8_t>(reader, kUnitMesg) != type_)
    throwTraced(kUnitMesg, ENVL_Exception("Unexpected message type"));
  service_ = service;
}

void NodeMessage::printType(std::ostream &out) const {
  out << " type: ";
  writeHex2(out, type_);
}

int NodeMessage::switchExecutionMode(int) { noProgram(); }
void NodeMessage::setActions(uint16_t) { noProgram(); }
void NodeMessage::setStatus(uint8_t) { noProgram(); }
void NodeMessage::setPid(uint16_t) { noProgram(); }
void NodeMessage::setPriority(uint8_t) { noProgram(); }
void NodeMessage::clearProgramAndResult() { noProgram(); }
PIC_Message &NodeMessage::programMessage() { noProgram(); }
uint16_t NodeMessage::pid() const { noProgram(); }
uint8_t NodeMessage::status() const { noProgram(); }
uint16_t NodeMessage::actions() const { noProgram(); }
uint8_t NodeMessage::priority() const { noProgram(); }
bool NodeMessage::isAsleep() const { noProgram(); }
bool NodeMessage::isAwake() const { noProgram(); }

void NodeMessage::alterFrequency(uint8_t) { noPoll(); }
void NodeMessage::setPollService(uint8_t) { noPoll(); }
void NodeMessage::setPollPriority(uint8_t) { noPoll(); }
void NodeMessage::sleep() { noPoll(); }
void NodeMessage::awaken() { noPoll(); }
uint8_t NodeMessage::pollFrequency() const { noPoll(); }
uint8_t NodeMessage::pollPriority() const { noPoll(); }
uint8_t NodeMessage::pollService() const { noPoll(); }

const PIC_Message &NodeMessage::programMessage() const {
  return const_cast<NodeMessage *>(this)->programMessage();
}

} // namespace arxmod
