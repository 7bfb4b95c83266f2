// CRC-16, RTU frames and the reply length rule.
#include "transport/RtuFrame.h"

namespace arxhost::transport {

uint16_t crc16(std::span<const uint8_t> bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit)
      crc =
          (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

std::vector<uint8_t> rtuFrame(uint8_t unit, std::span<const uint8_t> pdu) {
  std::vector<uint8_t> frame;
  frame.reserve(pdu.size() + 3);
  frame.push_back(unit);
  frame.insert(frame.end(), pdu.begin(), pdu.end());
  const uint16_t crc = crc16(frame);
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
  return frame;
}

std::optional<size_t> rtuReplyLength(std::span<const uint8_t> head) {
  if (head.size() < 2)
    return std::nullopt;
  const uint8_t function = head[1];
  if (function & 0x80)
    return 5; // unit, code, exception code, CRC
  switch (function) {
  case 5:
  case 6:
  case 15:
  case 16:
    return 8; // unit, code, address or start, value or count, CRC
  case 1:
  case 2:
  case 3:
  case 4:
  case 20:
  case 100:
    if (head.size() < 3)
      return std::nullopt;
    return 3 + size_t{head[2]} + 2; // unit, code, byte count, data, CRC
  default:
    return std::nullopt;
  }
}

bool rtuCrcValid(std::span<const uint8_t> frame) {
  if (frame.size() < 3)
    return false;
  const uint16_t crc = crc16(frame.first(frame.size() - 2));
  return frame[frame.size() - 2] == (crc & 0xFF) && frame[frame.size() - 1] == (crc >> 8);
}

uint32_t silentIntervalMicros(uint32_t baud) {
  if (baud > 19200)
    return 1750;
  return static_cast<uint32_t>((3.5 * 11 * 1'000'000 + baud - 1) / baud);
}

} // namespace arxhost::transport
