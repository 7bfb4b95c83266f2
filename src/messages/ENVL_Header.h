// ENVL_Header: who sends an envelope to whom, under which identifier, flags,
// password and session.
//
// Wire layout (big-endian except the session identifier):
//   u16 message identifier | u8 flags | source address | destination address
//   | password (2 bytes if flag bit 1, 8 if flag bit 2) | u32 session, little-endian
// The password bits of the flags and the held password always agree: the
// setters refuse a disagreement with ENVL_PasswordLenErr, because the flags are
// what a reader uses to frame the rest of the header.
#pragma once

#include "base/ByteReader.h"
#include "base/ByteWriter.h"
#include "messages/ENVL_Address.h"
#include "messages/ENVL_Password.h"

#include <cstddef>
#include <cstdint>
#include <iosfwd>

namespace arxmod {

class ENVL_Header {
public:
  // Flag bits.
  static constexpr uint8_t kFlagRequest = 0x01; // set: request, clear: reply
  static constexpr uint8_t kFlagPassword2 = ENVL_Password::kTwoByteBit;
  static constexpr uint8_t kFlagPassword8 = ENVL_Password::kEightByteBit;
  static constexpr uint8_t kFlagBroadcast = 0x08;
  static constexpr uint8_t kFlagNoReply = 0x10;
  static constexpr uint8_t kFlagNakable = 0x20;
  static constexpr uint8_t kFlagNakd = 0x40;
  static constexpr uint8_t kFlagFatalNak = 0x80;

  // Identifier, flags and both addresses in their four-byte form.
  static constexpr size_t kFixedLength = 11;
  static constexpr size_t kSessionLength = 4;

  ENVL_Header() = default;

  uint16_t messageId() const noexcept { return messageId_; }
  void setMessageId(uint16_t id) noexcept { messageId_ = id; }

  uint8_t flags() const noexcept { return flags_; }
  // Raises ENVL_PasswordLenErr when the password bits of `flags` are both set
  // or do not announce the held password.
  void setFlags(uint8_t flags);

  ENVL_Address source() const noexcept { return source_; }
  void setSource(ENVL_Address address) noexcept { source_ = address; }
  ENVL_Address destination() const noexcept { return destination_; }
  void setDestination(ENVL_Address address) noexcept { destination_ = address; }
  void swapAddresses() noexcept { std::swap(source_, destination_); }

  const ENVL_Password &password() const noexcept { return password_; }
  // Stores the password and sets the flags' password bits from its length.
  void setPassword(const ENVL_Password &password) noexcept;

  uint32_t sessionId() const noexcept { return sessionId_; }
  void setSessionId(uint32_t id) noexcept { sessionId_ = id; }

  // 15, 17 or 23.
  size_t encodedLength() const noexcept {
    return kFixedLength + password_.length() + kSessionLength;
  }

  void encode(ByteWriter &writer) const;
  // Reads a whole header; raises ENVL_PasswordLenErr for a flags byte with both
  // password bits (before the addresses are read) and UnderflowStream on a
  // short read. On failure the header is left unchanged.
  void decode(ByteReader &reader);

  // "SOURCE: <addr>  DESTINATION: <addr>\nMESSAGE ID: <id> DESCRIPTION:<flag
  // words>Session ID: <signed session> "; the password is never printed.
  void print(std::ostream &out) const;

  friend bool operator==(const ENVL_Header &a, const ENVL_Header &b) = default;

private:
  uint16_t messageId_ = 0;
  uint8_t flags_ = 0;
  ENVL_Address source_;
  ENVL_Address destination_;
  ENVL_Password password_;
  uint32_t sessionId_ = 0;
};

} // namespace arxmod
