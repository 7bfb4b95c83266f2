// The small service-1 node messages: channel, time, clear and password notices.
//
//   type 24 XLUseChannelMessage       no body
//   type 16 TimeMessageIncluded       no body
//   type 17 TimeMessageIncludedFull   u32 seconds since 1970 UTC, u32 microseconds
//   type 18 ClearPIC_Messages         node address (always written in four bytes)
//   type 31 ChangePasswordMessage     u8 state, password of 0, 2 or 8 bytes
#pragma once

#include "messages/ENVL_Address.h"
#include "messages/ENVL_Password.h"
#include "messages/NodeMessage.h"

namespace arxmod {

// Service and type bytes only; the text form names the type.
class FrameOnlyMessage : public NodeMessage {
public:
  void encode(ByteWriter &writer) const override { encodeFrame(writer); }
  void print(std::ostream &out, bool) const override { printType(out); }
  void decode(ByteReader &reader) override { decodeFrame(reader); }
  size_t encodedLength() const override { return 2; }

protected:
  explicit FrameOnlyMessage(uint8_t type) : NodeMessage(kServiceMessageIncluded, type) {}
  FrameOnlyMessage(const FrameOnlyMessage &) = default;
};

// Asks the node to use the channel; the translator answers with the request itself.
class XLUseChannelMessage final : public FrameOnlyMessage {
public:
  static constexpr uint8_t kType = 24;

  XLUseChannelMessage() : FrameOnlyMessage(kType) {}
  XLUseChannelMessage(const XLUseChannelMessage &) = default;

  std::unique_ptr<NodeMessage> copy() const override;
  XLUseChannelMessage *asXLUseChannelMessage() override { return this; }
};

class TimeMessageIncluded final : public FrameOnlyMessage {
public:
  static constexpr uint8_t kType = 16;

  TimeMessageIncluded() : FrameOnlyMessage(kType) {}
  TimeMessageIncluded(const TimeMessageIncluded &) = default;

  std::unique_ptr<NodeMessage> copy() const override;
  TimeMessageIncluded *asTimeMessageIncluded() override { return this; }
};

class TimeMessageIncludedFull final : public NodeMessage {
public:
  static constexpr uint8_t kType = 17;
  // Seconds value of a time that a u32 cannot hold (before 1970 or after 2106).
  static constexpr uint32_t kUnrepresentable = 0xFFFFFFFF;

  // Takes the current UTC time.
  TimeMessageIncludedFull() : NodeMessage(kServiceMessageIncluded, kType) { setToNow(); }
  TimeMessageIncludedFull(uint32_t seconds, uint32_t microseconds)
      : NodeMessage(kServiceMessageIncluded, kType), seconds_(seconds),
        microseconds_(microseconds) {}
  TimeMessageIncludedFull(const TimeMessageIncludedFull &) = default;

  uint32_t seconds() const noexcept { return seconds_; }
  uint32_t microseconds() const noexcept { return microseconds_; }

  std::unique_ptr<NodeMessage> copy() const override;
  void encode(ByteWriter &writer) const override;
  // " type: 11 YYYY-MM-DD HH:MM:SS.uuuuuu\n", the calendar time in UTC.
  void print(std::ostream &out, bool raw) const override;
  void decode(ByteReader &reader) override;
  TimeMessageIncludedFull *asTimeMessageIncludedFull() override { return this; }
  // Seconds since 1970 UTC and the milliseconds (as microseconds) of the system clock.
  void setToNow() override;
  size_t encodedLength() const override { return 10; }

private:
  uint32_t seconds_ = 0;
  uint32_t microseconds_ = 0;
};

class ClearPIC_Messages final : public NodeMessage {
public:
  static constexpr uint8_t kType = 18;

  ClearPIC_Messages() : NodeMessage(kServiceMessageIncluded, kType) {}
  explicit ClearPIC_Messages(ENVL_Address address) : ClearPIC_Messages() { address_ = address; }
  ClearPIC_Messages(const ClearPIC_Messages &) = default;

  ENVL_Address address() const noexcept { return address_; }

  std::unique_ptr<NodeMessage> copy() const override;
  void encode(ByteWriter &writer) const override;
  void print(std::ostream &out, bool raw) const override;
  void decode(ByteReader &reader) override;
  ClearPIC_Messages *asClearPIC_Messages() override { return this; }
  // Counts the address in its four-byte form, however it arrived.
  size_t encodedLength() const override { return 2 + ENVL_Address::kEncodedLength; }

private:
  ENVL_Address address_;
};

class ChangePasswordMessage final : public NodeMessage {
public:
  static constexpr uint8_t kType = 31;
  // State bit 0: the password is good; clear marks it bad.
  static constexpr uint8_t kStateGood = 0x01;

  ChangePasswordMessage() : NodeMessage(kServiceMessageIncluded, kType) {}
  ChangePasswordMessage(const ChangePasswordMessage &) = default;

  uint8_t state() const noexcept { return state_; }
  // Raises ENVL_PasswordLenErr when the password bits of `state` are both set
  // or do not announce the held password.
  void setState(uint8_t state);
  const ENVL_Password &password() const noexcept { return password_; }
  // Stores the password and sets the state's password bits from its length.
  void setPassword(const ENVL_Password &password) noexcept;

  std::unique_ptr<NodeMessage> copy() const override;
  void encode(ByteWriter &writer) const override;
  // " bad" when the password is marked bad, then " <length>BytePasswd\n".
  void print(std::ostream &out, bool raw) const override;
  // A type byte other than 31 raises ENVL_Exception "Unexpected message type".
  void decode(ByteReader &reader) override;
  size_t encodedLength() const override { return 3 + password_.length(); }

private:
  uint8_t state_ = 0;
  ENVL_Password password_;
};

} // namespace arxmod
