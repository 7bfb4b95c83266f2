// PollPIC_Message: the poll (service 2) that asks a node for pending work and
// can also put it to sleep, wake it or change its polling frequency.
//
// Wire form: u8 service (2) | node address | u8 frequency | u8 priority
// | u8 poll service | u8 type | program message. The program message is
// always read but only written when one is held. A frequency of 0 would
// stop the polling altogether, so 0 is replaced by 3 whenever a frequency is
// decoded, copied or set; only a newly built poll shows 0.
#pragma once

#include "messages/ENVL_Address.h"
#include "messages/ProgramCarrier.h"

namespace arxmod {

class PollPIC_Message : public ProgramCarrier {
public:
  // Poll service bits.
  static constexpr uint8_t kSleep = 0x02;
  static constexpr uint8_t kAwaken = 0x04;
  static constexpr uint8_t kAlterFrequency = 0x08;
  // The frequency that stands in for 0.
  static constexpr uint8_t kDefaultFrequency = 3;
  // Service, frequency, priority, poll service, type and the four-byte node.
  static constexpr size_t kFixedLength = 5 + ENVL_Address::kEncodedLength;

  PollPIC_Message() : ProgramCarrier(kServicePoll, 0) {}
  PollPIC_Message(const PollPIC_Message &other);

  ENVL_Address node() const noexcept { return node_; }
  void setNode(ENVL_Address node) noexcept { node_ = node; }
  void setType(uint8_t type) noexcept { type_ = type; }

  std::unique_ptr<NodeMessage> copy() const override;
  void encode(ByteWriter &writer) const override;
  void print(std::ostream &out, bool raw) const override;
  void decode(ByteReader &reader) override;
  PollPIC_Message *asPollPIC_Message() override { return this; }

  // Sets the alter-frequency bit; a frequency of 0 becomes 3.
  void alterFrequency(uint8_t frequency) override;
  void setPollService(uint8_t service) override { pollService_ = service; }
  void setPollPriority(uint8_t priority) override { priority_ = priority; }
  void sleep() override;
  void awaken() override;
  bool isAsleep() const override;
  bool isAwake() const override;
  uint8_t pollFrequency() const override { return frequency_; }
  uint8_t pollPriority() const override { return priority_; }
  uint8_t pollService() const override { return pollService_; }

  // 9 plus the program message's encoded length.
  size_t encodedLength() const override { return kFixedLength + programEncodedLength(); }

private:
  static uint8_t usableFrequency(uint8_t frequency) noexcept {
    return frequency ? frequency : kDefaultFrequency;
  }

  ENVL_Address node_;
  uint8_t frequency_ = 0;
  uint8_t priority_ = 0;
  uint8_t pollService_ = 0;
};

} // namespace arxmod
