// XLARX::ModbusFormatter: format names, register counts and the numeric
// layouts; texts and times are in RegisterText.cpp and RegisterTime.cpp.
//
// Doubles become integers by truncation toward zero, saturating at the 64-bit
// limits (NaN gives 0), and a register takes the low 16 bits of the result,
// a register pair its low 32 bits: a conversion of any double is defined.
#include "map/ModbusFormatter.h"

#include "base/KSXmsg.h"
#include "base/NeverDestroyed.h"
#include "map/RegisterCodecs.h"
#include "map/TranslationInfo.h"

#include <bit>
#include <cmath>
#include <limits>

namespace XLARX {
namespace {

using detail::hi;
using detail::lo;

uint16_t swapBytes(uint16_t word) { return static_cast<uint16_t>(word << 8 | word >> 8); }
uint32_t join(uint16_t high, uint16_t low) { return uint32_t{high} << 16 | low; }
uint64_t join(uint16_t r0, uint16_t r1, uint16_t r2, uint16_t r3) {
  return uint64_t{join(r0, r1)} << 32 | join(r2, r3);
}

int64_t truncated(double number) {
  if (std::isnan(number))
    return 0;
  if (number >= 0x1p63)
    return std::numeric_limits<int64_t>::max();
  if (number < -0x1p63)
    return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(number);
}
// The 64 bits of an unsigned or signed 64-bit integer.
uint64_t truncatedBits(double number) {
  if (number >= 0x1p63)
    return number < 0x1p64 ? static_cast<uint64_t>(number) : std::numeric_limits<uint64_t>::max();
  return static_cast<uint64_t>(truncated(number));
}
uint32_t low32(double number) { return static_cast<uint32_t>(truncatedBits(number)); }
uint16_t low16(double number) { return static_cast<uint16_t>(truncatedBits(number)); }

// The nearest single; beyond its range the infinity of that sign, as IEEE
// arithmetic does (a plain conversion would be undefined there).
float toSingle(double number) {
  if (std::isfinite(number) && std::fabs(number) > std::numeric_limits<float>::max())
    return number > 0 ? std::numeric_limits<float>::infinity()
                      : -std::numeric_limits<float>::infinity();
  return static_cast<float>(number);
}

void setNumber(ModbusConversion &value, double number, bool available = true) {
  value.kind = ConversionKind::Number;
  value.available = available;
  value.number = available ? number : 0.0;
  value.text.clear();
}

bool marked16(const ModbusConversion &value, uint16_t raw) {
  return value.notAvailableCheck && raw == static_cast<uint16_t>(value.notAvailableValue);
}
bool marked32(const ModbusConversion &value, uint32_t raw) {
  return value.notAvailableCheck && raw == static_cast<uint32_t>(value.notAvailableValue);
}

// One register under the mask's low 16 bits (codes 0 to 3, 24, 25, 32, 33).
void decode16(uint16_t word, ModbusConversion &value) {
  const uint32_t format = value.format;
  const bool swapped = format == MBF_U16_12 || format == MBF_S16_12;
  const auto raw = static_cast<uint16_t>((swapped ? swapBytes(word) : word) & value.mask);
  if (format == MBF_PF_Nexus) {
    // Power factor with the quadrant in the thousands: below 1000 lagging
    // negative, to 3000 around 2000, to 4000 around 4000.
    if (raw >= 4000)
      return setNumber(value, 0, false);
    const double factor = raw < 1000 ? -raw : (raw < 3000 ? 2000 - raw : 4000 - raw);
    return setNumber(value, factor / 1000.0);
  }
  if (marked16(value, raw))
    return setNumber(value, 0, false);
  if (format == MBF_S16_21 || format == MBF_S16_12)
    return setNumber(value, static_cast<int16_t>(raw));
  if (format == MBF_S16_1_15) {
    const double magnitude = raw & 0x7FFF;
    return setNumber(value, (raw & 0x8000) ? -magnitude : magnitude);
  }
  setNumber(value, raw);
}

// A register pair as an integer, masked (codes 4 to 7).
void decode32(uint16_t r0, uint16_t r1, ModbusConversion &value) {
  const bool lowFirst = value.format == MBF_U32_2143 || value.format == MBF_S32_2143;
  const uint32_t raw = (lowFirst ? join(r1, r0) : join(r0, r1)) & value.mask;
  if (marked32(value, raw))
    return setNumber(value, 0, false);
  const bool isSigned = value.format == MBF_S32_4321 || value.format == MBF_S32_2143;
  setNumber(value, isSigned ? static_cast<double>(static_cast<int32_t>(raw)) : raw);
}

// Two registers of four decimal digits each, high group first or second
// (codes 10 to 13).
void decodeModulo10k(uint16_t r0, uint16_t r1, ModbusConversion &value) {
  const uint32_t format = value.format;
  const bool lowFirst = format == MBF_U32_M10k_2143 || format == MBF_S32_M10k_2143;
  const uint16_t high = lowFirst ? r1 : r0;
  const uint16_t low = lowFirst ? r0 : r1;
  int64_t combined;
  if (format == MBF_S32_M10k_4321 || format == MBF_S32_M10k_2143)
    combined = int64_t{static_cast<int16_t>(high)} * 10000 + static_cast<int16_t>(low);
  else
    combined = int64_t{high} * 10000 + low;
  if (marked32(value, static_cast<uint32_t>(combined)))
    return setNumber(value, 0, false);
  setNumber(value, static_cast<double>(combined));
}

// Groups of four decimal digits, lowest first (codes 16 to 19).
void decodeDecimalGroups(std::span<const uint16_t> words, ModbusConversion &value) {
  const uint32_t format = value.format;
  const bool isSigned = format == MBF_S64_M10k_21_87 || format == MBF_S48_M10k_21_65;
  const size_t groups = formatRegisterCount(format);
  int64_t number = 0, scale = 1;
  for (size_t i = 0; i < groups; ++i, scale *= 10000)
    number += (isSigned ? int64_t{static_cast<int16_t>(words[i])} : int64_t{words[i]}) * scale;
  const int64_t limit = groups == 4 ? 9999999999999998 : 9999999999999;
  setNumber(value, static_cast<double>(number), number <= limit && number >= -limit);
}

void decode64(std::span<const uint16_t> words, ModbusConversion &value) {
  const uint32_t format = value.format;
  const bool lowFirst =
      format == MBF_U64_21_87 || format == MBF_S64_21_87 || format == MBF_F64_12_78;
  const uint64_t bits = lowFirst ? join(words[3], words[2], words[1], words[0])
                                 : join(words[0], words[1], words[2], words[3]);
  if (format == MBF_F64_87_21 || format == MBF_F64_12_78)
    return setNumber(value, std::bit_cast<double>(bits));
  if (format == MBF_S64_87_21 || format == MBF_S64_21_87)
    return setNumber(value, static_cast<double>(static_cast<int64_t>(bits)));
  setNumber(value, static_cast<double>(bits));
}

// IEEE single (14, 15) and the power factor made from one (49).
void decodeFloat(uint16_t r0, uint16_t r1, ModbusConversion &value) {
  const uint32_t bits = value.format == MBF_F32_2143 ? join(r1, r0) : join(r0, r1);
  const double number = std::bit_cast<float>(bits);
  if (marked32(value, bits) || std::isnan(number))
    return setNumber(value, 0, false);
  if (value.format != MBF_PF32)
    return setNumber(value, number);
  // Leading factors are sent beyond +-1: -1.2 stands for -0.8, 1.2 for 0.8.
  double factor = number;
  if (factor >= -2 && factor < -1)
    factor = -factor - 2;
  else if (factor > 1 && factor <= 2)
    factor = 2 - factor;
  setNumber(value, factor * 100);
}

void checkRoom(uint32_t format, std::span<uint16_t> registers) {
  const uint16_t needed = formatRegisterCount(format);
  if (registers.size() < needed)
    throw arxmod::KSXmsg("Modbus conversion " + formatCodeName(format) + " needs " +
                         std::to_string(needed) + " registers, the request has " +
                         std::to_string(registers.size()));
}

void encodeModulo10k(const ModbusConversion &value, std::span<uint16_t> registers) {
  const uint32_t format = value.format;
  const uint32_t bits = low32(value.number);
  int64_t high, low;
  if (format == MBF_S32_M10k_4321 || format == MBF_S32_M10k_2143) {
    const auto number = static_cast<int32_t>(bits);
    high = number / 10000; // toward zero, as is %
    low = number % 10000;
  } else {
    high = bits / 10000;
    low = bits % 10000;
  }
  const bool lowFirst = format == MBF_U32_M10k_2143 || format == MBF_S32_M10k_2143;
  registers[lowFirst ? 1 : 0] = static_cast<uint16_t>(high);
  registers[lowFirst ? 0 : 1] = static_cast<uint16_t>(low);
}

void encode64(uint64_t bits, bool lowFirst, std::span<uint16_t> registers) {
  for (size_t i = 0; i < 4; ++i) {
    const auto word = static_cast<uint16_t>(bits >> (16 * (3 - i)));
    registers[lowFirst ? 3 - i : i] = word;
  }
}

} // namespace

// Never destroyed: calculation threads may still decode while the runtime
// destroys statics at process exit.
ModbusFormatter &ModbusFormatter::instance() { return arxmod::neverDestroyed<ModbusFormatter>(); }

bool ModbusFormatter::parseFormatName(std::string_view name, arxmod::TranslationInfo &entry) const {
  const std::optional<uint32_t> code = formatCodeOf(name);
  if (!code)
    return false;
  const FormatInfo &info = *formatInfo(*code);
  entry.format = info.code;
  entry.mask = info.defaultMask;
  if (info.dateTime) {
    entry.readTimePresent = true;
    entry.readTime.handle = entry.handle;
  }
  return true;
}

uint16_t ModbusFormatter::registerCount(const ModbusConversion &item) const {
  return registerCount(item.format);
}

uint16_t ModbusFormatter::registerCount(uint32_t format) const {
  return formatRegisterCount(format);
}

bool ModbusFormatter::decode(std::span<const uint16_t> registers, size_t count,
                             ModbusConversion &value) const {
  const FormatInfo *info = formatInfo(value.format);
  if (!info || value.format == MBF_U32_1234 || value.format == MBF_S32_1234 ||
      value.format == MBF_Device_Specific) {
    value.available = false;
    return false;
  }
  if (info->variableLength) {
    const std::span<const uint16_t> words = registers.first(std::min(count, registers.size()));
    if (isTextFormat(value.format))
      detail::decodeText(words, value);
    else
      setNumber(value, detail::decodeBcd(value.format, words));
    return true;
  }
  if (registers.size() < info->registers) { // a reply cut short
    setNumber(value, 0, false);
    return true;
  }
  const std::span<const uint16_t> words = registers.first(info->registers);
  if (info->dateTime) {
    detail::decodeTime(words, value);
    return true;
  }
  switch (value.format) {
  case MBF_U32_4321:
  case MBF_S32_4321:
  case MBF_U32_2143:
  case MBF_S32_2143:
    decode32(words[0], words[1], value);
    break;
  case MBF_U32_M10k_4321:
  case MBF_S32_M10k_4321:
  case MBF_U32_M10k_2143:
  case MBF_S32_M10k_2143:
    decodeModulo10k(words[0], words[1], value);
    break;
  case MBF_F32_4321:
  case MBF_F32_2143:
  case MBF_PF32:
    decodeFloat(words[0], words[1], value);
    break;
  case MBF_U64_M10k_21_87:
  case MBF_S64_M10k_21_87:
  case MBF_U48_M10k_21_65:
  case MBF_S48_M10k_21_65:
    decodeDecimalGroups(words, value);
    break;
  case MBF_U64_87_21:
  case MBF_S64_87_21:
  case MBF_U64_21_87:
  case MBF_S64_21_87:
  case MBF_F64_87_21:
  case MBF_F64_12_78:
    decode64(words, value);
    break;
  default: // the one-register formats
    decode16(words[0], value);
    break;
  }
  return true;
}

bool ModbusFormatter::encode(const ModbusConversion &value, std::span<uint16_t> registers) const {
  const uint32_t format = value.format;
  const FormatInfo *info = formatInfo(format);
  if (!info || !info->writable)
    return false;
  if (isTextFormat(format)) {
    detail::encodeText(value, registers);
    return true;
  }
  checkRoom(format, registers);
  if (info->dateTime) {
    detail::encodeTime(value, registers);
    return true;
  }
  const double number = value.number;
  switch (format) {
  case MBF_U16_21:
  case MBF_S16_21:
  case MBF_MaskedBool:
  case MBF_InvertedMaskedBool:
    registers[0] = low16(number);
    break;
  case MBF_U16_12:
  case MBF_S16_12:
    registers[0] = swapBytes(low16(number));
    break;
  case MBF_U32_4321:
  case MBF_S32_4321:
  case MBF_F32_4321:
  case MBF_U32_2143:
  case MBF_S32_2143:
  case MBF_F32_2143: {
    const bool isFloat = format == MBF_F32_4321 || format == MBF_F32_2143;
    const uint32_t bits = isFloat ? std::bit_cast<uint32_t>(toSingle(number)) : low32(number);
    const bool lowFirst =
        format == MBF_U32_2143 || format == MBF_S32_2143 || format == MBF_F32_2143;
    registers[lowFirst ? 1 : 0] = static_cast<uint16_t>(bits >> 16);
    registers[lowFirst ? 0 : 1] = static_cast<uint16_t>(bits);
    break;
  }
  case MBF_U32_1234:
  case MBF_S32_1234: { // least significant byte first on the wire
    const uint32_t bits = low32(number);
    registers[0] = swapBytes(static_cast<uint16_t>(bits));
    registers[1] = swapBytes(static_cast<uint16_t>(bits >> 16));
    break;
  }
  case MBF_U32_M10k_4321:
  case MBF_S32_M10k_4321:
  case MBF_U32_M10k_2143:
  case MBF_S32_M10k_2143:
    encodeModulo10k(value, registers);
    break;
  case MBF_U64_M10k_21_87:
  case MBF_S64_M10k_21_87:
  case MBF_U48_M10k_21_65:
  case MBF_S48_M10k_21_65: {
    int64_t rest = truncated(number);
    for (size_t i = 0; i < info->registers; ++i, rest /= 10000)
      registers[i] = static_cast<uint16_t>(rest % 10000);
    break;
  }
  case MBF_F64_87_21:
  case MBF_F64_12_78:
    encode64(std::bit_cast<uint64_t>(number), format == MBF_F64_12_78, registers);
    break;
  default: // codes 20 to 23
    encode64(truncatedBits(number), format == MBF_U64_21_87 || format == MBF_S64_21_87, registers);
    break;
  }
  return true;
}

uint32_t ModbusFormatter::formatForWriting(uint32_t format, bool /*deviceFlag*/) const {
  return format;
}

} // namespace XLARX
