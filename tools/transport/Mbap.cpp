// MBAP framing.
#include "transport/Mbap.h"

#include "base/ByteReader.h"
#include "base/ByteWriter.h"

namespace arxhost::transport {

std::vector<uint8_t> mbapFrame(uint16_t transaction, uint8_t unit, std::span<const uint8_t> pdu) {
  arxmod::ByteWriter out(kMbapHeaderSize + pdu.size());
  out.writeU16BE(transaction);
  out.writeU16BE(0);
  out.writeU16BE(static_cast<uint16_t>(pdu.size() + 1));
  out.writeU8(unit);
  out.writeBytes(pdu);
  return out.takeBytes();
}

std::optional<MbapHeader> readMbapHeader(std::span<const uint8_t, kMbapHeaderSize> bytes) {
  arxmod::ByteReader in(bytes);
  MbapHeader header;
  in.readU16BE(header.transaction);
  in.readU16BE(header.protocol);
  in.readU16BE(header.length);
  in.readU8(header.unit);
  if (header.protocol != 0 || header.length < 2 || header.length > kMaxMbapLength)
    return std::nullopt;
  return header;
}

} // namespace arxhost::transport
