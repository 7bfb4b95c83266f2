// PollPIC_Message: poll fields, their controls and the carried program message.
#include "messages/PollPIC_Message.h"

#include "messages/TextForm.h"
#include "messages/WireRead.h"

#include <ostream>

namespace arxmod {

PollPIC_Message::PollPIC_Message(const PollPIC_Message &other)
    : ProgramCarrier(other), node_(other.node_), frequency_(usableFrequency(other.frequency_)),
      priority_(other.priority_), pollService_(other.pollService_) {}

std::unique_ptr<NodeMessage> PollPIC_Message::copy() const {
  return std::make_unique<PollPIC_Message>(*this);
}

void PollPIC_Message::encode(ByteWriter &writer) const {
  writer.writeU8(service_);
  node_.encode(writer);
  writer.writeU8(frequency_);
  writer.writeU8(priority_);
  writer.writeU8(pollService_);
  writer.writeU8(type_);
  encodeProgram(writer);
}

void PollPIC_Message::decode(ByteReader &reader) {
  service_ = wire::take<uint8_t>(reader, kUnitMesg);
  node_.decode(reader);
  frequency_ = usableFrequency(wire::take<uint8_t>(reader, kUnitMesg));
  priority_ = wire::take<uint8_t>(reader, kUnitMesg);
  pollService_ = wire::take<uint8_t>(reader, kUnitMesg);
  type_ = wire::take<uint8_t>(reader, kUnitMesg);
  decodeProgram(reader);
}

void PollPIC_Message::print(std::ostream &out, bool raw) const {
  out << "\n***** Poll Message:\nNode: " << node_.text() << " freq: ";
  writeHex2(out, frequency_);
  out << " priority: ";
  writeHex2(out, priority_);
  out << " service: ";
  writeHex2(out, pollService_);
  if (pollService_ & kSleep)
    out << " Sleep ";
  if (pollService_ & kAwaken)
    out << " Awaken ";
  if (pollService_ & kAlterFrequency)
    out << " AlterFreq";
  printType(out);
  printProgram(out, raw);
  out << "\n*****";
}

void PollPIC_Message::alterFrequency(uint8_t frequency) {
  pollService_ |= kAlterFrequency;
  frequency_ = usableFrequency(frequency);
}

void PollPIC_Message::sleep() { pollService_ = (pollService_ | kSleep) & ~kAwaken; }

void PollPIC_Message::awaken() { pollService_ = (pollService_ | kAwaken) & ~kSleep; }

bool PollPIC_Message::isAsleep() const { return (pollService_ & (kSleep | kAwaken)) == kSleep; }

bool PollPIC_Message::isAwake() const { return (pollService_ & (kSleep | kAwaken)) == kAwaken; }

} // namespace arxmod
