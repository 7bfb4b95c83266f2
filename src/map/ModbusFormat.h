// ModbusFormat: the register format codes that map entries name, with what
// each one occupies and offers.
//
// A meter value lies in one or more consecutive 16-bit registers in one of
// these layouts. The digits of a name give the byte order on the wire, byte
// 1 being the least significant: "U32-4321" sends the most significant byte
// first, "U32-2143" the low 16-bit half first. Codes are plain 32-bit
// numbers because they travel in map entries and requests (a raw write uses
// -1), so they are an unscoped enumeration with a fixed type.
//
//   if (auto code = formatCodeOf("u32-4321")) ...        // MBF_U32_4321
//   formatCodeName(MBF_F32_2143)                         // "MBF_F32_2143"
//   formatInfo(MBF_ASCII)->variableLength                // true
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace XLARX {

enum ModbusFormatCode : uint32_t {
  MBF_U16_21 = 0,
  MBF_S16_21 = 1,
  MBF_U16_12 = 2,
  MBF_S16_12 = 3,
  MBF_U32_4321 = 4,
  MBF_S32_4321 = 5,
  MBF_U32_2143 = 6,
  MBF_S32_2143 = 7,
  MBF_U32_1234 = 8,
  MBF_S32_1234 = 9,
  MBF_U32_M10k_4321 = 10,
  MBF_S32_M10k_4321 = 11,
  MBF_U32_M10k_2143 = 12,
  MBF_S32_M10k_2143 = 13,
  MBF_F32_4321 = 14,
  MBF_F32_2143 = 15,
  MBF_U64_M10k_21_87 = 16,
  MBF_S64_M10k_21_87 = 17,
  MBF_U48_M10k_21_65 = 18,
  MBF_S48_M10k_21_65 = 19,
  MBF_U64_87_21 = 20,
  MBF_S64_87_21 = 21,
  MBF_U64_21_87 = 22,
  MBF_S64_21_87 = 23,
  MBF_S16_1_15 = 24,
  MBF_PF_Nexus = 25,
  MBF_BCD = 26,
  MBF_PackedBCD = 27,
  MBF_ASCII = 28,
  MBF_ASCII_Reverse = 29,
  MBF_U16_21_ARRAY = 30,
  MBF_U16_12_ARRAY = 31,
  MBF_MaskedBool = 32,
  MBF_InvertedMaskedBool = 33,
  MBF_DateTime4_UTC = 34,
  MBF_DateTime3_UTC = 35,
  MBF_DateTime4_LOCAL = 36,
  MBF_DateTime3_LOCAL = 38,
  MBF_DateTime_YMDhms_UTC = 40,
  MBF_DateTime_YMDhms_LOCAL = 41,
  MBF_F64_87_21 = 43,
  MBF_F64_12_78 = 44,
  MBF_DATETIME_IEC870_LOCAL = 45,
  MBF_DATETIME_IEC870_UTC = 46,
  MBF_DateTime3_IEC870_LOCAL = 47,
  MBF_DateTime3_IEC870_UTC = 48,
  MBF_PF32 = 49,
  MBF_Device_Specific = 1000,
};

struct FormatInfo {
  uint32_t code;
  std::string_view codeName;             // "MBF_U16_21"
  std::array<std::string_view, 3> names; // accepted in map files, upper case; empty: unused
  uint16_t registers;                    // occupied; the default for variable formats
  bool variableLength;                   // the entry's NumberOfRegisters gives the length
  bool writable;                         // the formatter can encode it
  uint32_t defaultMask;                  // an entry's Mask when the file gives none
  bool dateTime;                         // a DATETIME layout (read time is the entry's own)
};

// The row of a format code; nullptr for a code outside the table.
const FormatInfo *formatInfo(uint32_t code);

// The code of a map file's format name, compared after upper-casing.
std::optional<uint32_t> formatCodeOf(std::string_view name);

// The MBF_ name of a code, or the code in decimal for any other.
std::string formatCodeName(uint32_t code);

// Registers the format occupies: the table's count, 1 for codes outside it.
uint16_t formatRegisterCount(uint32_t code);

// Text and array formats (the text is the decoded result).
inline bool isTextFormat(uint32_t code) { return code >= MBF_ASCII && code <= MBF_U16_12_ARRAY; }

} // namespace XLARX
