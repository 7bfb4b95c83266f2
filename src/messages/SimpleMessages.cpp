// The small service-1 node messages: channel, time, clear and password notices.
#include "messages/SimpleMessages.h"

#include "messages/TextForm.h"
#include "messages/WireRead.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <ostream>

namespace arxmod {

std::unique_ptr<NodeMessage> XLUseChannelMessage::copy() const {
  return std::make_unique<XLUseChannelMessage>(*this);
}

std::unique_ptr<NodeMessage> TimeMessageIncluded::copy() const {
  return std::make_unique<TimeMessageIncluded>(*this);
}

std::unique_ptr<NodeMessage> TimeMessageIncludedFull::copy() const {
  return std::make_unique<TimeMessageIncludedFull>(*this);
}

void TimeMessageIncludedFull::setToNow() {
  using namespace std::chrono;
  const auto now = system_clock::now();
  const auto seconds = floor<std::chrono::seconds>(now);
  const auto sinceEpoch = seconds.time_since_epoch().count();
  // The u32 field reaches into 2106; a time it cannot hold is sent as all ones.
  const bool fits = sinceEpoch >= 0 && sinceEpoch < int64_t{kUnrepresentable};
  seconds_ = fits ? static_cast<uint32_t>(sinceEpoch) : kUnrepresentable;
  const auto milliseconds = floor<std::chrono::milliseconds>(now - seconds).count();
  microseconds_ = static_cast<uint32_t>(milliseconds) * 1000;
}

void TimeMessageIncludedFull::encode(ByteWriter &writer) const {
  encodeFrame(writer);
  writer.writeU32BE(seconds_);
  writer.writeU32BE(microseconds_);
}

void TimeMessageIncludedFull::decode(ByteReader &reader) {
  decodeFrame(reader);
  seconds_ = wire::take<uint32_t>(reader, kUnitMesg);
  microseconds_ = wire::take<uint32_t>(reader, kUnitMesg);
}

void TimeMessageIncludedFull::print(std::ostream &out, bool) const {
  printType(out);
  const std::time_t time = seconds_;
  std::tm calendar{};
  gmtime_r(&time, &calendar);
  char text[64];
  std::snprintf(text, sizeof text, " %04d-%02d-%02d %02d:%02d:%02d.%06u\n", calendar.tm_year + 1900,
                calendar.tm_mon + 1, calendar.tm_mday, calendar.tm_hour, calendar.tm_min,
                calendar.tm_sec, microseconds_);
  out << text;
}

std::unique_ptr<NodeMessage> ClearPIC_Messages::copy() const {
  return std::make_unique<ClearPIC_Messages>(*this);
}

void ClearPIC_Messages::encode(ByteWriter &writer) const {
  encodeFrame(writer);
  address_.encode(writer);
}

void ClearPIC_Messages::decode(ByteReader &reader) {
  decodeFrame(reader);
  address_.decode(reader);
}

void ClearPIC_Messages::print(std::ostream &out, bool) const {
  printType(out);
  out << address_.text();
}

void ChangePasswordMessage::setState(uint8_t state) {
  password_.checkAgainst(state);
  state_ = state;
}

void ChangePasswordMessage::setPassword(const ENVL_Password &password) noexcept {
  password_ = password;
  state_ = static_cast<uint8_t>((state_ & ~ENVL_Password::kLengthBits) | password_.lengthBits());
}

std::unique_ptr<NodeMessage> ChangePasswordMessage::copy() const {
  return std::make_unique<ChangePasswordMessage>(*this);
}

void ChangePasswordMessage::encode(ByteWriter &writer) const {
  encodeFrame(writer);
  writer.writeU8(state_);
  password_.encode(writer);
}

void ChangePasswordMessage::decode(ByteReader &reader) {
  decodeFixedFrame(reader);
  const uint8_t state = wire::take<uint8_t>(reader, kUnitMesg);
  ENVL_Password password;
  password.decode(reader, ENVL_Password::lengthFromBits(state));
  state_ = state;
  password_ = password;
}

void ChangePasswordMessage::print(std::ostream &out, bool) const {
  if (!(state_ & kStateGood))
    out << " bad";
  out << " " << password_.length() << "BytePasswd\n";
}

} // namespace arxmod
