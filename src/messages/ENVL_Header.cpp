// ENVL_Header: encoding, decoding and text form of the envelope header.
#include "messages/ENVL_Header.h"

#include "messages/WireRead.h"

#include <ostream>

namespace arxmod {

void ENVL_Header::setFlags(uint8_t flags) {
  password_.checkAgainst(flags);
  flags_ = flags;
}

void ENVL_Header::setPassword(const ENVL_Password &password) noexcept {
  password_ = password;
  flags_ = static_cast<uint8_t>((flags_ & ~ENVL_Password::kLengthBits) | password_.lengthBits());
}

void ENVL_Header::encode(ByteWriter &writer) const {
  writer.writeU16BE(messageId_);
  writer.writeU8(flags_);
  source_.encode(writer);
  destination_.encode(writer);
  password_.encode(writer);
  writer.writeU32LE(sessionId_);
}

void ENVL_Header::decode(ByteReader &reader) {
  ENVL_Header read;
  read.messageId_ = wire::take<uint16_t>(reader, kUnitBase);
  read.flags_ = wire::take<uint8_t>(reader, kUnitBase);
  const size_t passwordLength = ENVL_Password::lengthFromBits(read.flags_);
  read.source_.decode(reader);
  read.destination_.decode(reader);
  read.password_.decode(reader, passwordLength);
  read.sessionId_ = wire::takeU32LE(reader, kUnitBase);
  *this = read;
}

void ENVL_Header::print(std::ostream &out) const {
  out << "SOURCE: " << source_.text() << "  DESTINATION: " << destination_.text()
      << "\nMESSAGE ID: " << messageId_ << " DESCRIPTION:";
  out << ((flags_ & kFlagRequest) ? " request" : " reply");
  if (flags_ & kFlagPassword2)
    out << " 2BytePasswd";
  if (flags_ & kFlagPassword8)
    out << " 8BytePasswd";
  if (!(flags_ & ENVL_Password::kLengthBits))
    out << " NoPasswd";
  if (flags_ & kFlagBroadcast)
    out << " Broadcast";
  if (flags_ & kFlagNoReply)
    out << " NoReply";
  if (flags_ & kFlagNakable)
    out << " Nakable";
  if (flags_ & kFlagNakd)
    out << " Nak'd";
  if (flags_ & kFlagFatalNak)
    out << " FatalNak";
  out << "Session ID: " << static_cast<int32_t>(sessionId_) << " ";
}

} // namespace arxmod
