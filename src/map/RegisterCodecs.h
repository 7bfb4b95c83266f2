// The register codecs behind ModbusFormatter that need more than a few
// lines: texts, arrays and BCD (RegisterText.cpp) and the date-time
// layouts (RegisterTime.cpp). The callers have checked that the words hold
// every register a fixed layout reads.
#pragma once

#include "map/ModbusFormatter.h"

#include <cstdint>
#include <span>

namespace XLARX::detail {

inline uint8_t hi(uint16_t word) { return static_cast<uint8_t>(word >> 8); }
inline uint8_t lo(uint16_t word) { return static_cast<uint8_t>(word); }

// Texts and arrays (codes 28 to 31): the bytes of at most 125 words.
void decodeText(std::span<const uint16_t> words, ModbusConversion &value);
void encodeText(const ModbusConversion &value, std::span<uint16_t> registers);
// Unpacked (26) and packed (27) BCD of the words.
double decodeBcd(uint32_t format, std::span<const uint16_t> words);

// Date-time formats (codes 34 to 48): seconds since 1970-01-01 00:00 UTC.
// The decoder sets available and number; encodeTime fills the layout's
// registers.
void decodeTime(std::span<const uint16_t> words, ModbusConversion &value);
void encodeTime(const ModbusConversion &value, std::span<uint16_t> registers);

} // namespace XLARX::detail
