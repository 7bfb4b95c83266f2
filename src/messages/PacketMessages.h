// The packet node messages (service 1): VerbatimIncluded (type 1),
// BufferIncluded (type 2) and CTTPIncluded (type 80). Each carries one run of
// opaque bytes that this layer never interprets.
//
//   VerbatimIncluded, BufferIncluded: u32 length, then that many bytes.
//   CTTPIncluded: a packet whose first two bytes are a u16 holding the
//                 packet's own length, those two bytes included; it is kept
//                 and written back whole.
#pragma once

#include "messages/NodeMessage.h"

#include <span>
#include <string_view>
#include <vector>

namespace arxmod {

// Owns the bytes of a packet node message and prints its text form.
class PacketMessage : public NodeMessage {
public:
  std::span<const uint8_t> bytes() const noexcept { return bytes_; }

  // The label, the byte count and a newline; with `raw` also the bytes, as
  // hexadecimal so binary data never reaches the console as control codes.
  void print(std::ostream &out, bool raw) const override;

protected:
  PacketMessage(uint8_t type, std::string_view label)
      : NodeMessage(kServiceMessageIncluded, type), label_(label) {}
  PacketMessage(const PacketMessage &) = default;

  std::vector<uint8_t> bytes_;

private:
  std::string_view label_;
};

// The u32-length form shared by VerbatimIncluded and BufferIncluded.
class LengthPrefixedPacket : public PacketMessage {
public:
  static constexpr size_t kFrameLength = 6; // service, type, u32 length

  // Replaces the bytes with a copy; more than 0xFFFFFFFF bytes raise ENVL_Exception.
  void setBytes(std::span<const uint8_t> bytes);

  void encode(ByteWriter &writer) const override;
  void decode(ByteReader &reader) override;
  size_t encodedLength() const override { return kFrameLength + bytes_.size(); }

protected:
  using PacketMessage::PacketMessage;
};

class VerbatimIncluded final : public LengthPrefixedPacket {
public:
  static constexpr uint8_t kType = 1;

  VerbatimIncluded() : LengthPrefixedPacket(kType, "\nVERBATIM PACKET\tBUFFERLEN: ") {}
  VerbatimIncluded(const VerbatimIncluded &) = default;

  std::unique_ptr<NodeMessage> copy() const override;
  VerbatimIncluded *asVerbatimIncluded() override { return this; }
};

class BufferIncluded final : public LengthPrefixedPacket {
public:
  static constexpr uint8_t kType = 2;

  BufferIncluded() : LengthPrefixedPacket(kType, "\nUPGRADE PACKET\tBUFFERLEN: ") {}
  BufferIncluded(const BufferIncluded &) = default;

  std::unique_ptr<NodeMessage> copy() const override;
  BufferIncluded *asBufferIncluded() override { return this; }
};

class CTTPIncluded final : public PacketMessage {
public:
  static constexpr uint8_t kType = 80;
  // The packet's own u16 length field.
  static constexpr size_t kMinPacketLength = 2;
  static constexpr size_t kMaxPacketLength = 0xFFFF;

  CTTPIncluded() : PacketMessage(kType, "\nCTTP PACKET\tBUFFERLEN: ") {}
  CTTPIncluded(const CTTPIncluded &) = default;

  // Replaces the packet with a copy of `packet`, whose leading u16 must hold
  // the packet's size; anything else raises ENVL_Exception, since the packet
  // would be misread by every receiver.
  void setPacket(std::span<const uint8_t> packet);

  std::unique_ptr<NodeMessage> copy() const override;
  void encode(ByteWriter &writer) const override;
  // A length field below 2 raises UnderflowStream.
  void decode(ByteReader &reader) override;
  CTTPIncluded *asCTTPIncluded() override { return this; }
  // Service and type bytes plus the whole packet.
  size_t encodedLength() const override { return 2 + bytes_.size(); }
};

} // namespace arxmod
