// Packet node messages: opaque byte runs behind a u32 or a self-counting u16 length.
#include "messages/PacketMessages.h"

#include "messages/ENVL_Exception.h"
#include "messages/TextForm.h"
#include "messages/WireRead.h"

#include <limits>
#include <ostream>

namespace arxmod {

void PacketMessage::print(std::ostream &out, bool raw) const {
  out << label_ << bytes_.size() << "\n";
  if (raw) {
    writeHexBytes(out, bytes_);
    out << "\n";
  }
}

void LengthPrefixedPacket::setBytes(std::span<const uint8_t> bytes) {
  if (bytes.size() > std::numeric_limits<uint32_t>::max())
    throwTraced(kUnitMesg, ENVL_Exception("Packet of " + std::to_string(bytes.size()) +
                                          " bytes is too long for a u32 length"));
  bytes_.assign(bytes.begin(), bytes.end());
}

void LengthPrefixedPacket::encode(ByteWriter &writer) const {
  encodeFrame(writer);
  writer.writeU32BE(static_cast<uint32_t>(bytes_.size()));
  writer.writeBytes(bytes_);
}

void LengthPrefixedPacket::decode(ByteReader &reader) {
  decodeFrame(reader);
  const uint32_t length = wire::take<uint32_t>(reader, kUnitMesg);
  bytes_ = wire::takeBytes(reader, length, kUnitMesg);
}

std::unique_ptr<NodeMessage> VerbatimIncluded::copy() const {
  return std::make_unique<VerbatimIncluded>(*this);
}

std::unique_ptr<NodeMessage> BufferIncluded::copy() const {
  return std::make_unique<BufferIncluded>(*this);
}

void CTTPIncluded::setPacket(std::span<const uint8_t> packet) {
  const bool sizeFits = packet.size() >= kMinPacketLength && packet.size() <= kMaxPacketLength;
  if (!sizeFits || ((size_t{packet[0]} << 8) | packet[1]) != packet.size())
    throwTraced(kUnitMesg, ENVL_Exception("CTTP packet of " + std::to_string(packet.size()) +
                                          " bytes does not carry its own length"));
  bytes_.assign(packet.begin(), packet.end());
}

std::unique_ptr<NodeMessage> CTTPIncluded::copy() const {
  return std::make_unique<CTTPIncluded>(*this);
}

void CTTPIncluded::encode(ByteWriter &writer) const {
  encodeFrame(writer);
  writer.writeBytes(bytes_);
}

void CTTPIncluded::decode(ByteReader &reader) {
  decodeFrame(reader);
  const size_t start = reader.position();
  const uint16_t length = wire::take<uint16_t>(reader, kUnitMesg);
  wire::require(length >= kMinPacketLength, kUnitMesg, SourceLine::current());
  reader.rewindTo(start);
  bytes_ = wire::takeBytes(reader, length, kUnitMesg);
}

} // namespace arxmod
