// ENVLMessage: the envelope on the wire and in text.
#include "messages/ENVLMessage.h"

#include "messages/CompactNumber.h"
#include "messages/ENVL_Exception.h"

#include <ostream>
#include <sstream>

namespace arxmod {

void ENVLMessage::decode(ByteReader &reader) {
  readCompact(reader); // total length: the fields below frame themselves
  ENVL_Header header;
  header.decode(reader);
  std::unique_ptr<NodeMessage> message = decodeNodeMessage(reader);
  header_ = header;
  message_ = std::move(message);
}

size_t ENVLMessage::bodyLength() const {
  if (!message_)
    throwTraced(kUnitBase, ENVL_Exception("Envelope " + std::to_string(header_.messageId()) +
                                          " has no node message to send"));
  const size_t body = header_.encodedLength() + message_->encodedLength();
  if (body > kCompactMax - 4)
    throwTraced(kUnitBase, ENVL_Exception("Envelope of " + std::to_string(body) +
                                          " bytes is too long to send"));
  return body;
}

size_t ENVLMessage::encodedLength() const {
  const size_t body = bodyLength();
  // The total length counts its own field: 2 bytes for a short envelope, 4 otherwise.
  return body + 2 < kCompactShortLimit ? body + 2 : body + 4;
}

void ENVLMessage::encode(ByteWriter &writer) const {
  const size_t body = bodyLength();
  const size_t total = encodedLength();
  if (total - body == 2)
    writeCompact(writer, static_cast<uint32_t>(total));
  else
    writeCompactLong(writer, static_cast<uint32_t>(total));
  // The lengths are computed, not measured, so the write is checked against them:
  // a mismatch would send an envelope whose length field lies.
  const size_t start = writer.size();
  header_.encode(writer);
  message_->encode(writer);
  if (!writer.failed() && writer.size() - start != body)
    throwTraced(kUnitBase, ENVL_Exception("Envelope " + std::to_string(header_.messageId()) +
                                          " encoded to " + std::to_string(writer.size() - start) +
                                          " bytes instead of " + std::to_string(body)));
}

std::vector<uint8_t> ENVLMessage::encode() const {
  std::vector<uint8_t> bytes(encodedLength());
  ByteWriter writer(bytes.data(), bytes.size());
  encode(writer);
  // The buffer has exactly the computed size; overflowing it means a node
  // message wrote more than it reported.
  if (writer.failed())
    throwTraced(kUnitBase,
                ENVL_Exception("Envelope " + std::to_string(header_.messageId()) +
                               " encoded to more than " + std::to_string(bytes.size()) + " bytes"));
  return bytes;
}

void ENVLMessage::print(std::ostream &out, bool raw) const {
  header_.print(out);
  if (message_)
    message_->print(out, raw);
  else
    out << "\n<no node message>";
}

IRefPtr<ENVLMessage> ENVLMessage::makeReply(const ENVL_Header &requestHeader,
                                            std::unique_ptr<NodeMessage> body) {
  auto reply = makeRef<ENVLMessage>(requestHeader, std::move(body));
  ENVL_Header &header = reply->header();
  header.swapAddresses();
  header.setFlags(static_cast<uint8_t>((header.flags() & ~ENVL_Header::kFlagRequest) |
                                       ENVL_Header::kFlagNakable));
  return reply;
}

std::string toText(const ENVLMessage &envelope, bool raw) {
  std::ostringstream out;
  envelope.print(out, raw);
  return out.str();
}

std::ostream &operator<<(std::ostream &out, const ENVLMessage &envelope) {
  envelope.print(out, false);
  return out;
}

} // namespace arxmod
