// CRC-16/MODBUS, one table look-up per byte.
#include "logs/Crc16.h"

#include <array>

namespace arxmod {
namespace {

constexpr std::array<uint16_t, 256> makeTable() {
  std::array<uint16_t, 256> table{};
  for (unsigned byte = 0; byte < 256; ++byte) {
    uint16_t crc = static_cast<uint16_t>(byte);
    for (int bit = 0; bit < 8; ++bit)
      crc =
          (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
    table[byte] = crc;
  }
  return table;
}

constexpr std::array<uint16_t, 256> kTable = makeTable();

} // namespace

uint16_t crc16Modbus(std::span<const uint8_t> bytes, uint16_t crc) noexcept {
  for (const uint8_t byte : bytes)
    crc = static_cast<uint16_t>((crc >> 8) ^ kTable[(crc ^ byte) & 0xFF]);
  return crc;
}

bool crc16Matches(std::span<const uint8_t> block) noexcept {
  if (block.size() < 2)
    return false;
  const size_t body = block.size() - 2;
  return crc16Modbus(block.first(body)) == loadCrc16(block.data() + body);
}

} // namespace arxmod
