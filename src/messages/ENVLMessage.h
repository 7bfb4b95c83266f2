// ARXMessage and ENVLMessage: the envelope that carries one node message
// between the host and the plug-in.
//
// Wire form: total length (compact number, counting itself) | ENVL_Header |
// one node message. The total length is read but not relied on: the header
// and the node message frame themselves, and the packet around the envelope
// already bounds the input. An envelope whose node message is of an unknown
// service or type decodes without one (nodeMessage() is nullptr); callers
// must refuse it.
//
// Example, answering a request:
//   auto reply = ENVLMessage::makeReply(request->header(), std::move(body));
//   std::vector<uint8_t> bytes = reply->encode();
#pragma once

#include "base/ByteReader.h"
#include "base/ByteWriter.h"
#include "base/RefBase.h"
#include "messages/ENVL_Header.h"
#include "messages/NodeMessage.h"

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

namespace arxmod {

// A header and the node message it owns. Held through IRefPtr; one envelope
// belongs to one Process call and is not shared between threads.
class ARXMessage : public RefBase {
public:
  ARXMessage() = default;
  ARXMessage(const ENVL_Header &header, std::unique_ptr<NodeMessage> message)
      : header_(header), message_(std::move(message)) {}

  ENVL_Header &header() noexcept { return header_; }
  const ENVL_Header &header() const noexcept { return header_; }

  // The node message, or nullptr when there is none.
  NodeMessage *nodeMessage() const noexcept { return message_.get(); }
  // Replaces (and releases) the node message held before.
  void setNodeMessage(std::unique_ptr<NodeMessage> message) noexcept {
    message_ = std::move(message);
  }

protected:
  ENVL_Header header_;
  std::unique_ptr<NodeMessage> message_;
};

class ENVLMessage : public ARXMessage {
public:
  using ARXMessage::ARXMessage;

  // Reads total length, header and one node message. Exceptions (UnderflowStream,
  // ENVL_PasswordLenErr, ENVL_Exception) pass out unchanged and leave the
  // envelope as it was.
  void decode(ByteReader &reader);
  // Writes total length, header and node message. An envelope without a node
  // message cannot be sent and raises ENVL_Exception.
  void encode(ByteWriter &writer) const;
  std::vector<uint8_t> encode() const;
  // Bytes that encode() writes, total length field included; raises as encode() does.
  size_t encodedLength() const;

  // The header's text, then the node message's text (or "\n<no node message>").
  void print(std::ostream &out, bool raw) const;

  // A reply to a request with `requestHeader`: the header is copied, source
  // and destination are exchanged, flag bit 0 (request) is cleared and flag
  // bit 5 (nakable) is set; everything else stays as in the request.
  static IRefPtr<ENVLMessage> makeReply(const ENVL_Header &requestHeader,
                                        std::unique_ptr<NodeMessage> body);

private:
  // Header plus node message; raises when there is no node message or the
  // envelope is too long for its total length field.
  size_t bodyLength() const;
};

// The envelope's text form for diagnostics and the host tool.
std::string toText(const ENVLMessage &envelope, bool raw);
std::ostream &operator<<(std::ostream &out, const ENVLMessage &envelope);

} // namespace arxmod
