// CRC-16/MODBUS: the checksum of the log position file and of the data log
// header and records.
//
// Reflected polynomial 0xA001, initial value 0xFFFF, no final exclusive-or;
// the files store it high byte first. The check value of the nine bytes
// "123456789" is 0x4B37.
#pragma once

#include <cstdint>
#include <span>

namespace arxmod {

inline constexpr uint16_t kCrc16Initial = 0xFFFF;

// The CRC of `bytes`, continuing from `crc` (kCrc16Initial for a new one).
uint16_t crc16Modbus(std::span<const uint8_t> bytes, uint16_t crc = kCrc16Initial) noexcept;

// Stores `crc` high byte first at `out[0]`, `out[1]`.
inline void storeCrc16(uint16_t crc, uint8_t *out) noexcept {
  out[0] = static_cast<uint8_t>(crc >> 8);
  out[1] = static_cast<uint8_t>(crc);
}
// The CRC stored high byte first at `in[0]`, `in[1]`.
inline uint16_t loadCrc16(const uint8_t *in) noexcept {
  return static_cast<uint16_t>((in[0] << 8) | in[1]);
}

// True when the last two bytes of `block` hold the CRC of the bytes before them.
bool crc16Matches(std::span<const uint8_t> block) noexcept;

} // namespace arxmod
