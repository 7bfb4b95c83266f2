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

void ENVLMessage::encode(ByteWriter &writer) const {
  if (!message_)
    throwTraced(kUnitBase, ENVL_Exception("Envelope " + std::to_string(header_.messageId()) +
                                          " has no node message to send"));
  ByteWriter body;
  header_.encode(body);
  message_->encode(body);
  const size_t size = body.size();
  // The total length counts its own field: 2 bytes for a short envelope, 4 otherwise.
  if (size + 2 < kCompactShortLimit) {
    writeCompact(writer, static_cast<uint32_t>(size + 2));
  } else {
    if (size > kCompactMax - 4)
      throwTraced(kUnitBase, ENVL_Exception("Envelope of " + std::to_string(size) +
                                            " bytes is too long to send"));
    writeCompactLong(writer, static_cast<uint32_t>(size + 4));
  }
  writer.writeBytes(body.bytes());
}

std::vector<uint8_t> ENVLMessage::encode() const {
  ByteWriter writer;
  encode(writer);
  return writer.takeBytes();
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
