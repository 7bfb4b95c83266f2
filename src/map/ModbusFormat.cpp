// ModbusFormat: the table of register formats and its look-ups.
#include "map/ModbusFormat.h"

#include <algorithm>
#include <cctype>
#include <unordered_map>

namespace XLARX {
namespace {

constexpr uint32_t k16 = 0xFFFF;
constexpr uint32_t kAll = 0xFFFFFFFF;

constexpr FormatInfo kInfos[] = {
    {MBF_U16_21, "MBF_U16_21", {"U16-21", "UINT16", "PACKEDBOOL"}, 1, false, true, k16, false},
    {MBF_S16_21, "MBF_S16_21", {"S16-21", "SINT16"}, 1, false, true, k16, false},
    {MBF_U16_12, "MBF_U16_12", {"U16-12"}, 1, false, true, k16, false},
    {MBF_S16_12, "MBF_S16_12", {"S16-12"}, 1, false, true, k16, false},
    {MBF_U32_4321, "MBF_U32_4321", {"U32-4321", "UINT32"}, 2, false, true, kAll, false},
    {MBF_S32_4321, "MBF_S32_4321", {"S32-4321", "SINT32"}, 2, false, true, kAll, false},
    {MBF_U32_2143, "MBF_U32_2143", {"U32-2143"}, 2, false, true, kAll, false},
    {MBF_S32_2143, "MBF_S32_2143", {"S32-2143"}, 2, false, true, kAll, false},
    {MBF_U32_1234, "MBF_U32_1234", {"U32-1234"}, 2, false, true, kAll, false},
    {MBF_S32_1234, "MBF_S32_1234", {"S32-1234"}, 2, false, true, kAll, false},
    {MBF_U32_M10k_4321,
     "MBF_U32_M10k_4321",
     {"U32-M10K-4321", "U32-MFP"},
     2,
     false,
     true,
     kAll,
     false},
    {MBF_S32_M10k_4321,
     "MBF_S32_M10k_4321",
     {"S32-M10K-4321", "S32-MFP"},
     2,
     false,
     true,
     kAll,
     false},
    {MBF_U32_M10k_2143, "MBF_U32_M10k_2143", {"U32-M10K-2143"}, 2, false, true, kAll, false},
    {MBF_S32_M10k_2143, "MBF_S32_M10k_2143", {"S32-M10K-2143"}, 2, false, true, kAll, false},
    {MBF_F32_4321, "MBF_F32_4321", {"F32-4321", "IEEEFLOAT"}, 2, false, true, kAll, false},
    {MBF_F32_2143, "MBF_F32_2143", {"F32-2143", "SWAPPEDFLOAT"}, 2, false, true, kAll, false},
    {MBF_U64_M10k_21_87, "MBF_U64_M10k_21_87", {"U64-M10K-21-87"}, 4, false, true, kAll, false},
    {MBF_S64_M10k_21_87, "MBF_S64_M10k_21_87", {"S64-M10K-21-87"}, 4, false, true, kAll, false},
    {MBF_U48_M10k_21_65, "MBF_U48_M10k_21_65", {"U48-M10K-21-65"}, 3, false, true, kAll, false},
    {MBF_S48_M10k_21_65, "MBF_S48_M10k_21_65", {"S48-M10K-21-65"}, 3, false, true, kAll, false},
    {MBF_U64_87_21, "MBF_U64_87_21", {"U64-87-21"}, 4, false, true, kAll, false},
    {MBF_S64_87_21, "MBF_S64_87_21", {"S64-87-21"}, 4, false, true, kAll, false},
    {MBF_U64_21_87, "MBF_U64_21_87", {"U64-21-87"}, 4, false, true, kAll, false},
    {MBF_S64_21_87, "MBF_S64_21_87", {"S64-21-87"}, 4, false, true, kAll, false},
    {MBF_S16_1_15, "MBF_S16_1_15", {"S16-1-15"}, 1, false, false, kAll, false},
    {MBF_PF_Nexus, "MBF_PF_Nexus", {"PF-NEXUS"}, 1, false, false, kAll, false},
    {MBF_BCD, "MBF_BCD", {"BCD"}, 1, true, false, kAll, false},
    {MBF_PackedBCD, "MBF_PackedBCD", {"PACKEDBCD"}, 1, true, false, kAll, false},
    {MBF_ASCII, "MBF_ASCII", {"ASCII"}, 1, true, true, kAll, false},
    {MBF_ASCII_Reverse, "MBF_ASCII_Reverse", {"ASCII-REVERSE"}, 1, true, true, kAll, false},
    {MBF_U16_21_ARRAY, "MBF_U16_21_ARRAY", {"U16-21-ARRAY"}, 1, true, true, kAll, false},
    {MBF_U16_12_ARRAY, "MBF_U16_12_ARRAY", {"U16-12-ARRAY"}, 1, true, true, kAll, false},
    {MBF_MaskedBool, "MBF_MaskedBool", {"MASKEDBOOL"}, 1, false, true, k16, false},
    {MBF_InvertedMaskedBool,
     "MBF_InvertedMaskedBool",
     {"INVERTEDMASKEDBOOL"},
     1,
     false,
     true,
     k16,
     false},
    {MBF_DateTime4_UTC, "MBF_DateTime4_UTC", {"DATETIME4_UTC"}, 4, false, true, kAll, true},
    {MBF_DateTime3_UTC, "MBF_DateTime3_UTC", {"DATETIME3_UTC"}, 3, false, true, kAll, true},
    {MBF_DateTime4_LOCAL, "MBF_DateTime4_LOCAL", {"DATETIME4_LOCAL"}, 4, false, true, kAll, true},
    {MBF_DateTime3_LOCAL, "MBF_DateTime3_LOCAL", {"DATETIME3_LOCAL"}, 3, false, true, kAll, true},
    {MBF_DateTime_YMDhms_UTC,
     "MBF_DateTime_YMDhms_UTC",
     {"DATETIME_YMDHMS_UTC"},
     6,
     false,
     true,
     kAll,
     true},
    {MBF_DateTime_YMDhms_LOCAL,
     "MBF_DateTime_YMDhms_LOCAL",
     {"DATETIME_YMDHMS_LOCAL"},
     6,
     false,
     true,
     kAll,
     true},
    {MBF_F64_87_21, "MBF_F64_87_21", {"F64-87-21"}, 4, false, true, kAll, false},
    {MBF_F64_12_78, "MBF_F64_12_78", {"F64-12-78"}, 4, false, true, kAll, false},
    {MBF_DATETIME_IEC870_LOCAL,
     "MBF_DATETIME_IEC870_LOCAL",
     {"DATETIME_IEC870_LOCAL"},
     4,
     false,
     false,
     kAll,
     true},
    {MBF_DATETIME_IEC870_UTC,
     "MBF_DATETIME_IEC870_UTC",
     {"DATETIME_IEC870_UTC"},
     4,
     false,
     false,
     kAll,
     true},
    {MBF_DateTime3_IEC870_LOCAL,
     "MBF_DateTime3_IEC870_LOCAL",
     {"DATETIME3_IEC870_LOCAL"},
     4,
     false,
     false,
     kAll,
     true},
    {MBF_DateTime3_IEC870_UTC,
     "MBF_DateTime3_IEC870_UTC",
     {"DATETIME3_IEC870_UTC"},
     4,
     false,
     false,
     kAll,
     true},
    {MBF_PF32, "MBF_PF32", {"PF32"}, 2, false, false, kAll, false},
    {MBF_Device_Specific, "MBF_Device_Specific", {}, 1, false, false, kAll, false},
};

// Map file names, upper case, to codes.
const std::unordered_map<std::string_view, uint32_t> &codesByName() {
  static const std::unordered_map<std::string_view, uint32_t> codes = [] {
    std::unordered_map<std::string_view, uint32_t> made;
    for (const FormatInfo &info : kInfos)
      for (std::string_view name : info.names)
        if (!name.empty())
          made.emplace(name, info.code);
    return made;
  }();
  return codes;
}

} // namespace

const FormatInfo *formatInfo(uint32_t code) {
  for (const FormatInfo &info : kInfos)
    if (info.code == code)
      return &info;
  return nullptr;
}

std::optional<uint32_t> formatCodeOf(std::string_view name) {
  std::string upper(name);
  std::transform(upper.begin(), upper.end(), upper.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  const auto &codes = codesByName();
  if (auto it = codes.find(upper); it != codes.end())
    return it->second;
  return std::nullopt;
}

std::string formatCodeName(uint32_t code) {
  if (const FormatInfo *info = formatInfo(code))
    return std::string(info->codeName);
  return std::to_string(code);
}

uint16_t formatRegisterCount(uint32_t code) {
  const FormatInfo *info = formatInfo(code);
  return info ? info->registers : 1;
}

} // namespace XLARX
