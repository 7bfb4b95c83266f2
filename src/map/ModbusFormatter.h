// XLARX::ModbusFormatter: the conversion of register words to numbers and
// texts and back, for every format of ModbusFormat.h.
//
// The formatter has no state: one process-wide object, created on first
// use, serves every thread. Decoding reads only the words it is handed,
// whatever the map entry claims: a fixed-width format given fewer words
// than it occupies decodes as not available, and the variable formats take
// the words that are there. Scaling (the map entry's Scale, Offset, ...)
// and the boolean rules of the masked formats are left to the callers.
//
//   ModbusConversion value;
//   value.format = MBF_S32_4321;
//   const uint16_t words[] = {0xFFFF, 0xFFFE};
//   if (ModbusFormatter::instance().decode(words, 2, value) && value.available)
//     use(value.number);                                    // -2
//
//   ModbusConversion write;
//   write.format = MBF_ASCII;
//   write.text = "AB";
//   std::vector<uint16_t> registers(entry.numberOfRegisters);
//   ModbusFormatter::instance().encode(write, registers);   // {0x4142, 0, ...}
#pragma once

#include "map/ModbusFormat.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace arxmod {
class TranslationInfo;
}

namespace XLARX {

enum class ConversionKind { Number, Text };

// One value's conversion: what the value is (format, mask and
// not-available settings, as the map entry or the request gives them), the
// number or text to encode, and what decoding found.
struct ModbusConversion {
  uint32_t format = MBF_U16_21;
  uint32_t mask = 0xFFFFFFFF; // for the 16-bit formats only its low 16 bits count
  bool notAvailableCheck = false;
  int32_t notAvailableValue = -1; // the raw value that means "not available"
  // Encoding input; decoding output as `kind` says.
  double number = 0.0;
  std::string text; // text formats: the bytes; arrays: two bytes per element
  // Decoding outputs.
  bool available = false; // false: the meter says it has no value
  ConversionKind kind = ConversionKind::Number;
};

class ModbusFormatter {
public:
  // The process-wide formatter.
  static ModbusFormatter &instance();

  ModbusFormatter() = default;
  ModbusFormatter(const ModbusFormatter &) = delete;
  ModbusFormatter &operator=(const ModbusFormatter &) = delete;
  virtual ~ModbusFormatter() = default;

  // Sets the entry's format code and default mask from a map file's format
  // name (any case); a DATETIME format also makes the entry its own read-time
  // reference. False for an unknown name, leaving the entry unchanged.
  virtual bool parseFormatName(std::string_view name, arxmod::TranslationInfo &entry) const;
  // Registers the item's format occupies.
  virtual uint16_t registerCount(const ModbusConversion &item) const;
  // Registers a format occupies; 1 for codes outside the table.
  virtual uint16_t registerCount(uint32_t format) const;
  // Decodes `registers` (R0 first); `count` is the value's register count,
  // which limits the variable formats. Fills number or text, kind and
  // available. False (not supported) for a format without decoding.
  virtual bool decode(std::span<const uint16_t> registers, size_t count,
                      ModbusConversion &value) const;
  // Encodes the number or text into `registers`; registers beyond a text are
  // set to 0. False (not supported) for a format that cannot be written.
  // Raises KSXmsg for a text of odd length, of more than 125 registers, or
  // one that does not fit, and when `registers` is shorter than a fixed
  // format's count.
  virtual bool encode(const ModbusConversion &value, std::span<uint16_t> registers) const;
  // The format a write request is sent with; the device flag lets a
  // device-specific formatter choose another. Here: `format` unchanged.
  virtual uint32_t formatForWriting(uint32_t format, bool deviceFlag) const;
};

// Most registers one text may occupy (the longest Modbus read or write).
inline constexpr size_t kMaxTextRegisters = 125;

// Elements of a decoded U16-21-ARRAY or U16-12-ARRAY text, and element
// `index` (byte 2i plus 256 times byte 2i+1); KSXmsg "Bad index range" at or
// beyond the count.
size_t registerArrayCount(std::string_view bytes);
uint16_t registerArrayElement(std::string_view bytes, size_t index);

} // namespace XLARX
