// Mbap: the Modbus TCP frame (MBAP header + PDU) of the public Modbus
// Messaging on TCP/IP Implementation Guide: transaction identifier (2),
// protocol identifier 0 (2), length of unit + PDU (2), unit identifier (1),
// then the PDU; all big-endian.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace arxhost::transport {

constexpr size_t kMbapHeaderSize = 7;
// The length field counts the unit and a PDU of at most 253 bytes.
constexpr uint16_t kMaxMbapLength = 1 + 253;

struct MbapHeader {
  uint16_t transaction = 0;
  uint16_t protocol = 0;
  uint16_t length = 0; // unit + PDU
  uint8_t unit = 0;

  size_t pduSize() const { return length - 1u; }
};

std::vector<uint8_t> mbapFrame(uint16_t transaction, uint8_t unit, std::span<const uint8_t> pdu);

// The header of a frame; nothing when the protocol is not 0 or the length
// cannot hold a unit and a PDU of 1 to 253 bytes (the stream cannot be
// trusted after that).
std::optional<MbapHeader> readMbapHeader(std::span<const uint8_t, kMbapHeaderSize> bytes);

} // namespace arxhost::transport
