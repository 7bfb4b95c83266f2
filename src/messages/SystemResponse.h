// SystemResponse (service 1, type 255): a node's status answer to a node
// message, optionally carrying that message back.
//
// Wire form: u8 service | u8 type (255) | u8 status | u8 presence (0x00 none,
// otherwise the answered node message follows, whole). A missing presence
// byte counts as 0x00. Because the nested message may itself be a
// SystemResponse, decoding stops at kMaxNesting levels with ENVL_Exception so
// that hostile input cannot recurse without bound.
#pragma once

#include "messages/NodeMessage.h"

namespace arxmod {

class SystemResponse final : public NodeMessage {
public:
  static constexpr uint8_t kType = 255;
  static constexpr uint8_t kPresent = 0xFF;
  static constexpr uint8_t kAbsent = 0x00;
  static constexpr unsigned kMaxNesting = 16;

  SystemResponse() : NodeMessage(kServiceMessageIncluded, kType) {}
  SystemResponse(uint8_t status, std::unique_ptr<NodeMessage> original) : SystemResponse() {
    status_ = status;
    original_ = std::move(original);
  }
  SystemResponse(const SystemResponse &other);

  // Status codes are those of the program message ("Good" 0 ... "Nack" 7).
  uint8_t responseStatus() const noexcept { return status_; }
  void setResponseStatus(uint8_t status) noexcept { status_ = status; }
  // The answered node message, or nullptr.
  NodeMessage *original() const noexcept { return original_.get(); }
  void setOriginal(std::unique_ptr<NodeMessage> original) noexcept {
    original_ = std::move(original);
  }

  std::unique_ptr<NodeMessage> copy() const override;
  void encode(ByteWriter &writer) const override;
  // "<status name> Original(<nested text>\n", "<null>" for no nested message.
  void print(std::ostream &out, bool raw) const override;
  // A type byte other than 255 raises ENVL_Exception "Unexpected message type".
  void decode(ByteReader &reader) override;
  // Decodes a response that sits `depth` responses deep.
  void decodeAtDepth(ByteReader &reader, unsigned depth);
  size_t encodedLength() const override { return 4 + (original_ ? original_->encodedLength() : 0); }

private:
  uint8_t status_ = 0;
  std::unique_ptr<NodeMessage> original_;
};

} // namespace arxmod
