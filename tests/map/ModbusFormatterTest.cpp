// ModbusFormatter: every format decoded from register words, the
// not-available rules, encoding and round trips, text failures and the
// format names.
#include "map/ModbusFormatter.h"
#include "base/KSXmsg.h"
#include "map/TranslationInfo.h"
#include "map/ZoneBias.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace XLARX {
namespace {

constexpr double kNotAvailable = std::numeric_limits<double>::quiet_NaN();
constexpr double kUnsupported = std::numeric_limits<double>::infinity();
constexpr double k2014 = 1388534400; // 2014-01-01 00:00:00 UTC

struct NumberCase {
  uint32_t format;
  std::vector<uint16_t> words;
  double expected; // kNotAvailable, kUnsupported, or the number
  uint32_t mask = 0xFFFFFFFF;
  bool check = false;
  int32_t notAvailable = -1;
  size_t count = 0; // 0: the number of words
};

// A conversion of `format` under `mask` (designated initializers would
// leave fields out, which the warnings refuse).
ModbusConversion conversion(uint32_t format, uint32_t mask = 0xFFFFFFFF) {
  ModbusConversion value;
  value.format = format;
  value.mask = mask;
  return value;
}
ModbusConversion writing(uint32_t format, double number, std::string text = {}) {
  ModbusConversion value = conversion(format);
  value.number = number;
  value.text = std::move(text);
  return value;
}

ModbusConversion decoded(const NumberCase &c, bool &supported) {
  ModbusConversion value = conversion(c.format, c.mask);
  value.notAvailableCheck = c.check;
  value.notAvailableValue = c.notAvailable;
  supported =
      ModbusFormatter::instance().decode(c.words, c.count ? c.count : c.words.size(), value);
  return value;
}

void expectDecodes(const NumberCase &c) {
  bool supported = false;
  const ModbusConversion value = decoded(c, supported);
  if (c.expected == kUnsupported) {
    EXPECT_FALSE(supported);
    return;
  }
  ASSERT_TRUE(supported);
  EXPECT_EQ(value.kind, ConversionKind::Number);
  if (std::isnan(c.expected)) {
    EXPECT_FALSE(value.available);
  } else {
    EXPECT_TRUE(value.available);
    EXPECT_NEAR(value.number, c.expected, std::fabs(c.expected) * 1e-6);
  }
}

TEST(ModbusFormatterTest, DecodesIntegerFormats) {
  const NumberCase cases[] = {
      {MBF_U16_21, {0x1234}, 4660},
      {MBF_U16_21, {0x1234}, 0x34, 0x00FF},
      {MBF_U16_21, {0xFFFF}, kNotAvailable, 0xFFFFFFFF, true},
      {MBF_U16_21, {0xFFFF}, 0xFF0F, 0xFF0F, true}, // the masked value is compared
      {MBF_S16_21, {0x8000}, -32768},
      {MBF_S16_21, {0x8000}, kNotAvailable, 0xFFFF, true, 0x18000}, // low 16 bits compared
      {MBF_U16_12, {0x3412}, 0x1234},
      {MBF_S16_12, {0x0080}, -32768},
      {MBF_MaskedBool, {0x00F0}, 0x10, 0x0010},
      {MBF_InvertedMaskedBool, {0x00F0}, 0xF0},
      {MBF_U32_4321, {0x0001, 0x0002}, 65538},
      {MBF_U32_2143, {0x0001, 0x0002}, 131073},
      {MBF_S32_4321, {0xFFFF, 0xFFFE}, -2},
      {MBF_S32_2143, {0xFFFE, 0xFFFF}, -2},
      {MBF_U32_4321, {0x0001, 0x0002}, 2, 0xFFFF},
      {MBF_U32_4321, {0xFFFF, 0xFFFF}, kNotAvailable, 0xFFFFFFFF, true},
      {MBF_S32_4321, {0xFFFF, 0xFFFE}, kNotAvailable, 0xFFFFFFFF, true, -2},
      {MBF_U32_1234, {1, 2}, kUnsupported},
      {MBF_S32_1234, {1, 2}, kUnsupported},
      {MBF_U32_M10k_4321, {12, 3456}, 123456},
      {MBF_S32_M10k_4321, {0xFFFF, 0xFFFF}, -10001},
      {MBF_U32_M10k_2143, {3456, 12}, 123456},
      {MBF_S32_M10k_2143, {0xFFFF, 0xFFFE}, -20001},
      {MBF_U32_M10k_4321, {12, 3456}, kNotAvailable, 0xFFFFFFFF, true, 123456},
      {MBF_U32_M10k_4321, {0xFFFF, 0xFFFF}, 655415535, 0xFFFFFFFF, true}, // -1 never matches
      {MBF_U64_M10k_21_87, {1, 2, 3, 4}, 4000300020001},
      {MBF_U64_M10k_21_87, {9998, 9999, 9999, 9999}, 9999999999999998},
      {MBF_U64_M10k_21_87, {9999, 9999, 9999, 9999}, kNotAvailable},
      {MBF_S64_M10k_21_87, {0xFFFF, 0xFFFF, 0, 0}, -10001},
      {MBF_S64_M10k_21_87, {0xD8F1, 0xD8F1, 0xD8F1, 0xD8F1}, kNotAvailable}, // -9999 each
      {MBF_U48_M10k_21_65, {1, 2, 3}, 300020001},
      {MBF_S48_M10k_21_65, {0, 0, 0xFFFF}, -1e8},
      {MBF_U64_87_21, {0, 0, 1, 0}, 65536},
      {MBF_U64_87_21, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, 18446744073709551615.0},
      {MBF_S64_87_21, {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF}, -1},
      {MBF_U64_21_87, {0, 1, 0, 0}, 65536},
      {MBF_S64_21_87, {0xFFFE, 0xFFFF, 0xFFFF, 0xFFFF}, -2},
      {MBF_S16_1_15, {0x8005}, -5},
      {MBF_S16_1_15, {0x0005}, 5},
      {MBF_S16_1_15, {0xFFFF}, kNotAvailable, 0xFFFFFFFF, true},
      {MBF_Device_Specific, {1}, kUnsupported},
      {37, {1}, kUnsupported},
      // Fewer words than the format occupies: not available, never a read past them.
      {MBF_U32_4321, {0x0001}, kNotAvailable},
      {MBF_U64_87_21, {1, 2, 3}, kNotAvailable},
      {MBF_S16_21, {}, kNotAvailable},
  };
  for (const NumberCase &c : cases) {
    SCOPED_TRACE(formatCodeName(c.format) + " " + ::testing::PrintToString(c.words));
    expectDecodes(c);
  }
}

TEST(ModbusFormatterTest, DecodesFloatsPowerFactorsAndBcd) {
  const NumberCase cases[] = {
      {MBF_F32_4321, {0x3F80, 0x0000}, 1.0},
      {MBF_F32_2143, {0x0000, 0x3F80}, 1.0},
      {MBF_F32_4321, {0x7FC0, 0x0000}, kNotAvailable}, // NaN
      {MBF_F32_4321, {0x3F80, 0x0000}, kNotAvailable, 0xFFFFFFFF, true, 0x3F800000},
      {MBF_F64_87_21, {0x3FF0, 0, 0, 0}, 1.0},
      {MBF_F64_12_78, {0, 0, 0, 0x3FF0}, 1.0},
      {MBF_PF_Nexus, {500}, -0.5},
      {MBF_PF_Nexus, {1500}, 0.5},
      {MBF_PF_Nexus, {2500}, -0.5},
      {MBF_PF_Nexus, {3500}, 0.5},
      {MBF_PF_Nexus, {4000}, kNotAvailable},
      {MBF_PF_Nexus, {0xF1F4}, -0.5, 0x0FFF}, // 500 under the mask
      {MBF_PF32, {0x3F99, 0x999A}, 80},       // 1.2
      {MBF_PF32, {0xBF99, 0x999A}, -80},      // -1.2
      {MBF_PF32, {0x3F73, 0x3333}, 95},       // 0.95
      {MBF_PF32, {0x7FC0, 0}, kNotAvailable},
      {MBF_BCD, {0x0102}, 12},
      {MBF_PackedBCD, {0x1234, 0x5678}, 12345678},
      {MBF_PackedBCD, {0x00AF}, 115}, // digits above 9 count as they are
      {MBF_BCD, {0x0102, 0x0304}, 12, 0xFFFFFFFF, false, -1, 1},
      {MBF_BCD, {0x0102, 0x0304}, 1234, 0xFFFFFFFF, false, -1, 9}, // only the words given
  };
  for (const NumberCase &c : cases) {
    SCOPED_TRACE(formatCodeName(c.format) + " " + ::testing::PrintToString(c.words));
    expectDecodes(c);
  }
}

TEST(ModbusFormatterTest, DecodesDateTimesWithTheZoneBias) {
  ScopedZoneBias utc({});
  const NumberCase utcCases[] = {
      {MBF_DateTime3_UTC, {0x0101, 0x7200, 0x0000}, k2014},
      {MBF_DateTime4_UTC, {0x0101, 0x7200, 0x0000, 1250}, k2014 + 0.25},
      {MBF_DateTime4_UTC, {0x0101, 0x7200, 0x0000, 0xFFFF}, k2014, 0xFFFFFFFF, true},
      {MBF_DateTime4_UTC, {0xFFFF, 0xFFFF, 0xFFFF, 7}, kNotAvailable, 0xFFFFFFFF, true},
      {MBF_DateTime3_UTC, {0x0D01, 0x7100, 0x0000}, k2014},                // month 13 of 2013
      {MBF_DateTime3_UTC, {0x0200, 0x7200, 0x0000}, k2014 + 30 * 86400},   // day 0 of February
      {MBF_DateTime3_UTC, {0x0101, 0x7218, 0x3C3C}, k2014 + 86400 + 3660}, // 24:60:60
      {MBF_DateTime_YMDhms_UTC, {2014, 1, 1, 0, 0, 0}, k2014},
      {MBF_DateTime_YMDhms_UTC, {1969, 12, 31, 23, 59, 59}, -1},
      {MBF_DateTime_YMDhms_UTC, {7, 7, 7, 7, 7, 7}, kNotAvailable, 0xFFFFFFFF, true, 7},
      {MBF_DATETIME_IEC870_UTC, {0xFF8E, 0x0101, 0x0000, 1500}, k2014 + 1.5},
      {MBF_DateTime3_IEC870_UTC, {14, 0x0101, 0x0000, 1500}, k2014 + 1},
      {MBF_DATETIME_IEC870_UTC, {14, 0x0101, 0x0102, 0}, k2014 + 3600 + 120},
      {MBF_DateTime_YMDhms_UTC, {2014, 1, 1, 0, 0}, kNotAvailable}, // a word short
  };
  for (const NumberCase &c : utcCases) {
    SCOPED_TRACE(formatCodeName(c.format) + " " + ::testing::PrintToString(c.words));
    expectDecodes(c);
  }

  const std::vector<uint16_t> january{0x0101, 0x7200, 0x0000};
  const struct {
    ZoneBias zone;
    uint32_t format;
    double added;
  } zoneCases[] = {
      {{300, 0, false}, MBF_DateTime3_LOCAL, 18000},
      {{-60, 0, true}, MBF_DateTime3_LOCAL, -3600},
      {{300, -60, false}, MBF_DateTime3_LOCAL, 14400}, // standard time: bias + standard bias
      {{300, -60, true}, MBF_DateTime3_LOCAL, 18000},  // summer time: bias alone
      {{300, -60, true}, MBF_DateTime_YMDhms_LOCAL, 14400},
      {{300, 0, false}, MBF_DateTime3_UTC, 0},
  };
  for (const auto &c : zoneCases) {
    SCOPED_TRACE(formatCodeName(c.format) + " bias " + std::to_string(c.zone.bias));
    ScopedZoneBias zone(c.zone);
    const std::vector<uint16_t> words = c.format == MBF_DateTime_YMDhms_LOCAL
                                            ? std::vector<uint16_t>{2014, 1, 1, 0, 0, 0}
                                            : january;
    expectDecodes({c.format, words, k2014 + c.added});
  }
}

struct TextCase {
  uint32_t format;
  std::vector<uint16_t> words;
  std::string expected;
  uint32_t mask = 0xFFFFFFFF;
};

TEST(ModbusFormatterTest, DecodesTextsAndArrays) {
  const TextCase cases[] = {
      {MBF_ASCII, {0x4142, 0x4344}, "ABCD"},
      {MBF_ASCII_Reverse, {0x4142, 0x4344}, "BADC"},
      {MBF_ASCII, {0x4142, 0x4344}, "BCD", 0x00FF},
      {MBF_ASCII, {0x4142, 0x4344}, "ABC", 0xFF00},
      {MBF_ASCII, {}, "", 0x00FF},
      {MBF_U16_21_ARRAY, {0x4142}, "BA"},
      {MBF_U16_12_ARRAY, {0x4142}, "AB"},
  };
  for (const TextCase &c : cases) {
    SCOPED_TRACE(formatCodeName(c.format) + " mask " + std::to_string(c.mask));
    ModbusConversion value = conversion(c.format, c.mask);
    ASSERT_TRUE(ModbusFormatter::instance().decode(c.words, c.words.size(), value));
    EXPECT_TRUE(value.available);
    EXPECT_EQ(value.kind, ConversionKind::Text);
    EXPECT_EQ(value.text, c.expected);
  }

  // Arrays: code 30 gives the registers, code 31 the byte-swapped registers.
  const std::vector<uint16_t> words{0x1234, 0xABCD};
  ModbusConversion array = conversion(MBF_U16_21_ARRAY);
  ModbusFormatter::instance().decode(words, 2, array);
  ASSERT_EQ(registerArrayCount(array.text), 2u);
  EXPECT_EQ(registerArrayElement(array.text, 1), 0xABCD);
  ModbusConversion swapped = conversion(MBF_U16_12_ARRAY);
  ModbusFormatter::instance().decode(words, 2, swapped);
  EXPECT_EQ(registerArrayElement(swapped.text, 0), 0x3412);
  EXPECT_THROW(registerArrayElement(array.text, 2), arxmod::KSXmsg);
  // An array cut short by a dropped byte has one element less, not one read past its end.
  ModbusConversion cut = conversion(MBF_U16_21_ARRAY, 0x00FF);
  ModbusFormatter::instance().decode(words, 2, cut);
  EXPECT_EQ(registerArrayCount(cut.text), 1u);
  try {
    registerArrayElement(cut.text, 1);
    ADD_FAILURE() << "read past the array";
  } catch (const arxmod::KSXmsg &e) {
    EXPECT_EQ(e.text(), "Bad index range");
  }

  // A text takes at most 125 registers, and never more than the entry's count.
  const std::vector<uint16_t> many(200, 0x4141);
  ModbusConversion longText = conversion(MBF_ASCII);
  ModbusFormatter::instance().decode(many, 200, longText);
  EXPECT_EQ(longText.text.size(), 250u);
  ModbusFormatter::instance().decode(many, 3, longText);
  EXPECT_EQ(longText.text, "AAAAAA");
}

std::vector<uint16_t> encoded(uint32_t format, double number, size_t registers = 0) {
  std::vector<uint16_t> words(registers ? registers : formatRegisterCount(format), 0xEEEE);
  ModbusConversion value = writing(format, number);
  EXPECT_TRUE(ModbusFormatter::instance().encode(value, words));
  return words;
}

TEST(ModbusFormatterTest, EncodesNumbersInEveryWordOrder) {
  ScopedZoneBias utc({});
  const struct {
    uint32_t format;
    double number;
    std::vector<uint16_t> words;
  } cases[] = {
      {MBF_U16_21, 4660, {0x1234}},
      {MBF_U16_21, 70000, {4464}}, // the low 16 bits
      {MBF_S16_21, -1.9, {0xFFFF}},
      {MBF_U16_12, 0x1234, {0x3412}},
      {MBF_MaskedBool, 1, {1}},
      {MBF_U32_4321, 65538, {1, 2}},
      {MBF_S32_4321, -2.7, {0xFFFF, 0xFFFE}},
      {MBF_U32_2143, 65538, {2, 1}},
      {MBF_U32_1234, 0x12345678, {0x7856, 0x3412}},
      {MBF_U32_M10k_2143, 123456, {3456, 12}},
      {MBF_U32_M10k_4321, 123456, {12, 3456}},
      {MBF_S32_M10k_4321, -10001, {0xFFFF, 0xFFFF}},
      {MBF_F32_4321, 1.0, {0x3F80, 0}},
      {MBF_F32_2143, 1.0, {0, 0x3F80}},
      {MBF_F32_4321, 1e300, {0x7F80, 0}}, // beyond a single: infinity
      {MBF_U64_M10k_21_87, 4000300020001, {1, 2, 3, 4}},
      {MBF_U48_M10k_21_65, 300020001, {1, 2, 3}},
      {MBF_S48_M10k_21_65, -1e8, {0, 0, 0xFFFF}},
      {MBF_U64_87_21, 65536, {0, 0, 1, 0}},
      {MBF_U64_87_21, 18446744073709549568.0, {0xFFFF, 0xFFFF, 0xFFFF, 0xF800}},
      {MBF_S64_21_87, -2, {0xFFFE, 0xFFFF, 0xFFFF, 0xFFFF}},
      {MBF_F64_12_78, 1.0, {0, 0, 0, 0x3FF0}},
      {MBF_DateTime4_UTC, k2014 + 0.25, {0x0101, 0x7200, 0, 250}},
      {MBF_DateTime3_UTC, k2014 + 86399, {0x0101, 0x7217, 0x3B3B}},
      {MBF_DateTime_YMDhms_UTC, -1, {1969, 12, 31, 23, 59, 59}},
      // Doubles without an integer value still give defined registers.
      {MBF_U16_21, std::nan(""), {0}},
      {MBF_S32_4321, -1e300, {0, 0}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(formatCodeName(c.format) + " " + std::to_string(c.number));
    EXPECT_EQ(encoded(c.format, c.number), c.words);
  }
}

TEST(ModbusFormatterTest, WritableFormatsRoundTrip) {
  ScopedZoneBias zone({-330, 0, false});
  const double numbers[] = {0, 1, 7, 1234, 9999, 10000, 32767, -1, -32768, -10001};
  int formatsChecked = 0;
  for (uint32_t format = 0; format <= 1000; ++format) {
    const FormatInfo *info = formatInfo(format);
    if (!info || !info->writable || isTextFormat(format) || format == MBF_U32_1234 ||
        format == MBF_S32_1234)
      continue;
    ++formatsChecked;
    const bool isSigned = info->codeName.find("_S") != std::string_view::npos ||
                          info->codeName.find("F32") != std::string_view::npos ||
                          info->codeName.find("F64") != std::string_view::npos;
    for (double number : numbers) {
      if (info->dateTime)
        number = k2014 + number * 3600.5; // a time around 2014
      else if (number < 0 && !isSigned)
        continue;
      else if (info->registers == 1 && !isSigned && number > 0xFFFF)
        continue;
      SCOPED_TRACE(formatCodeName(format) + " " + std::to_string(number));
      const std::vector<uint16_t> words = encoded(format, number);
      ModbusConversion value = conversion(format, info->defaultMask);
      ASSERT_TRUE(ModbusFormatter::instance().decode(words, words.size(), value));
      ASSERT_TRUE(value.available);
      const bool hasMillis = format == MBF_DateTime4_UTC || format == MBF_DateTime4_LOCAL;
      EXPECT_EQ(value.number, info->dateTime && !hasMillis ? std::floor(number) : number);
    }
  }
  EXPECT_EQ(formatsChecked, 32); // every writable number and time format
}

TEST(ModbusFormatterTest, EncodesTextsAndRefusesWhatCannotBeWritten) {
  const struct {
    uint32_t format;
    std::string text;
    std::vector<uint16_t> words;
  } cases[] = {
      {MBF_ASCII, "ABCD", {0x4142, 0x4344, 0}},
      {MBF_ASCII_Reverse, "ABCD", {0x4241, 0x4443, 0}},
      {MBF_U16_21_ARRAY, std::string("\x34\x12\xCD\xAB", 4), {0x1234, 0xABCD, 0}},
      {MBF_U16_12_ARRAY, std::string("\x34\x12", 2), {0x3412, 0, 0}},
      {MBF_ASCII, "", {0, 0, 0}},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(formatCodeName(c.format) + " " + c.text);
    std::vector<uint16_t> words(3, 0xEEEE);
    ModbusConversion value = writing(c.format, 0, c.text);
    ASSERT_TRUE(ModbusFormatter::instance().encode(value, words));
    EXPECT_EQ(words, c.words);
  }

  const struct {
    std::string text;
    size_t registers;
    std::string message;
  } refusals[] = {
      {"ABC", 10, "Multiple register write request contains odd number of bytes: 3"},
      {std::string(252, 'a'), 200,
       "Multiple register write request exceeds maximum number of registers allowed"},
      {"ABCDEF", 2, "Text write of 3 registers does not fit the 2 registers of the request"},
  };
  for (const auto &c : refusals) {
    SCOPED_TRACE(c.message);
    std::vector<uint16_t> words(c.registers);
    ModbusConversion value = writing(MBF_ASCII, 0, c.text);
    try {
      ModbusFormatter::instance().encode(value, words);
      ADD_FAILURE() << "encoded";
    } catch (const arxmod::KSXmsg &e) {
      EXPECT_EQ(e.text(), c.message);
    }
  }
  std::vector<uint16_t> one(1);
  try {
    ModbusFormatter::instance().encode(writing(MBF_U32_4321, 1), one);
    ADD_FAILURE() << "encoded two registers into one";
  } catch (const arxmod::KSXmsg &e) {
    EXPECT_EQ(e.text(), "Modbus conversion MBF_U32_4321 needs 2 registers, the request has 1");
  }

  for (uint32_t format : std::initializer_list<uint32_t>{
           MBF_S16_1_15, MBF_PF_Nexus, MBF_BCD, MBF_PackedBCD, MBF_DATETIME_IEC870_LOCAL,
           MBF_DATETIME_IEC870_UTC, MBF_DateTime3_IEC870_LOCAL, MBF_DateTime3_IEC870_UTC, MBF_PF32,
           MBF_Device_Specific, 37u}) {
    SCOPED_TRACE(format);
    std::vector<uint16_t> words(8);
    EXPECT_FALSE(ModbusFormatter::instance().encode(writing(format, 1), words));
  }
}

TEST(ModbusFormatterTest, EncodesLocalTimesWithoutTheBias) {
  ScopedZoneBias zone({300, 0, true});
  EXPECT_EQ(encoded(MBF_DateTime4_LOCAL, k2014 + 18000.5),
            (std::vector<uint16_t>{0x0101, 0x7200, 0, 500}));
  EXPECT_EQ(encoded(MBF_DateTime_YMDhms_LOCAL, k2014 + 18000),
            (std::vector<uint16_t>{2014, 1, 1, 0, 0, 0}));
}

TEST(ModbusFormatterTest, NamesCountsAndParsing) {
  const struct {
    const char *name;
    uint32_t code;
    uint16_t registers;
    uint32_t mask;
    bool readTime;
  } names[] = {
      {"u32-mfp", MBF_U32_M10k_4321, 2, 0xFFFFFFFF, false},
      {"PackedBool", MBF_U16_21, 1, 0xFFFF, false},
      {"SINT16", MBF_S16_21, 1, 0xFFFF, false},
      {"invertedmaskedbool", MBF_InvertedMaskedBool, 1, 0xFFFF, false},
      {"F64-87-21", MBF_F64_87_21, 4, 0xFFFFFFFF, false},
      {"DATETIME4_UTC", MBF_DateTime4_UTC, 4, 0xFFFFFFFF, true},
      {"datetime_ymdhms_local", MBF_DateTime_YMDhms_LOCAL, 6, 0xFFFFFFFF, true},
      {"DATETIME3_IEC870_UTC", MBF_DateTime3_IEC870_UTC, 4, 0xFFFFFFFF, true},
      {"ascii", MBF_ASCII, 1, 0xFFFFFFFF, false},
  };
  for (const auto &c : names) {
    SCOPED_TRACE(c.name);
    auto entry = arxmod::makeRef<arxmod::TranslationInfo>();
    entry->handle = 77;
    ASSERT_TRUE(ModbusFormatter::instance().parseFormatName(c.name, *entry));
    EXPECT_EQ(entry->format, c.code);
    EXPECT_EQ(entry->mask, c.mask);
    EXPECT_EQ(entry->readTimePresent, c.readTime);
    EXPECT_EQ(entry->readTime.handle, c.readTime ? 77u : 0u);
    EXPECT_EQ(ModbusFormatter::instance().registerCount(c.code), c.registers);
  }
  auto entry = arxmod::makeRef<arxmod::TranslationInfo>();
  EXPECT_FALSE(ModbusFormatter::instance().parseFormatName("U32 4321", *entry));
  EXPECT_FALSE(ModbusFormatter::instance().parseFormatName("", *entry));
  EXPECT_EQ(entry->mask, 0xFFFFu);
  EXPECT_EQ(ModbusFormatter::instance().registerCount(37), 1);
  EXPECT_EQ(ModbusFormatter::instance().registerCount(MBF_Device_Specific), 1);
  EXPECT_EQ(formatCodeName(MBF_F32_4321), "MBF_F32_4321");
  EXPECT_EQ(formatCodeName(37), "37");
  EXPECT_EQ(ModbusFormatter::instance().formatForWriting(MBF_ASCII, true), MBF_ASCII);
  EXPECT_EQ(&ModbusFormatter::instance(), &ModbusFormatter::instance());
}

} // namespace
} // namespace XLARX
