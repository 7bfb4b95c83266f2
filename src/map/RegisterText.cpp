// Texts, register arrays and BCD digits in registers.
//
// A text takes at most 125 registers, the most one Modbus read or write
// carries. A mask of 0x00FF drops the first byte of a decoded text and
// 0xFF00 its last, for meters that keep one character per register half.
#include "map/RegisterCodecs.h"

#include "base/KSXmsg.h"

#include <algorithm>

namespace XLARX {
namespace detail {

namespace {
// High byte first (28, 31) or low byte first (29, 30).
bool highByteFirst(uint32_t format) { return format == MBF_ASCII || format == MBF_U16_12_ARRAY; }
} // namespace

void decodeText(std::span<const uint16_t> words, ModbusConversion &value) {
  const size_t count = std::min(words.size(), kMaxTextRegisters);
  const bool highFirst = highByteFirst(value.format);
  std::string bytes;
  bytes.reserve(2 * count);
  for (uint16_t word : words.first(count)) {
    bytes.push_back(static_cast<char>(highFirst ? hi(word) : lo(word)));
    bytes.push_back(static_cast<char>(highFirst ? lo(word) : hi(word)));
  }
  if (value.mask == 0x00FF && !bytes.empty())
    bytes.erase(0, 1);
  else if (value.mask == 0xFF00 && !bytes.empty())
    bytes.pop_back();
  value.text = std::move(bytes);
  value.kind = ConversionKind::Text;
  value.available = true;
}

void encodeText(const ModbusConversion &value, std::span<uint16_t> registers) {
  const std::string &text = value.text;
  if (text.size() % 2 != 0)
    throw arxmod::KSXmsg("Multiple register write request contains odd number of bytes: " +
                         std::to_string(text.size()));
  const size_t count = text.size() / 2;
  if (count > kMaxTextRegisters)
    throw arxmod::KSXmsg(
        "Multiple register write request exceeds maximum number of registers allowed");
  if (count > registers.size())
    throw arxmod::KSXmsg("Text write of " + std::to_string(count) + " registers does not fit the " +
                         std::to_string(registers.size()) + " registers of the request");
  const bool highFirst = highByteFirst(value.format);
  for (size_t k = 0; k < count; ++k) {
    const auto first = static_cast<uint8_t>(text[2 * k]);
    const auto second = static_cast<uint8_t>(text[2 * k + 1]);
    registers[k] = highFirst ? static_cast<uint16_t>(first << 8 | second)
                             : static_cast<uint16_t>(second << 8 | first);
  }
  std::fill(registers.begin() + static_cast<std::ptrdiff_t>(count), registers.end(), 0);
}

double decodeBcd(uint32_t format, std::span<const uint16_t> words) {
  // Digits above 9 are taken as they are: a meter's odd nibble changes the
  // value instead of failing the read.
  double number = 0;
  for (uint16_t word : words) {
    if (format == MBF_BCD) {
      number = number * 10 + (hi(word) & 0x0F);
      number = number * 10 + (lo(word) & 0x0F);
    } else {
      for (int shift = 12; shift >= 0; shift -= 4)
        number = number * 10 + ((word >> shift) & 0x0F);
    }
  }
  return number;
}

} // namespace detail

size_t registerArrayCount(std::string_view bytes) { return bytes.size() / 2; }

uint16_t registerArrayElement(std::string_view bytes, size_t index) {
  if (index >= registerArrayCount(bytes))
    throw arxmod::KSXmsg("Bad index range");
  return static_cast<uint16_t>(static_cast<uint8_t>(bytes[2 * index]) |
                               static_cast<uint8_t>(bytes[2 * index + 1]) << 8);
}

} // namespace XLARX
