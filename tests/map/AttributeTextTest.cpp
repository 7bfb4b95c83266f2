// The number forms of map attributes and the register address syntax.
#include "map/AttributeText.h"
#include "map/ModbusAddress.h"

#include <gtest/gtest.h>

#include <limits>

namespace arxmod {
namespace {

TEST(AttributeTextTest, ReadsIntegersWithAutomaticBase) {
  const struct {
    const char *text;
    int64_t value;
  } cases[] = {
      {"42", 42},
      {"  -42", -42},
      {"+7", 7},
      {"0x1F", 31},
      {"0X1f", 31},
      {"-0x10", -16},
      {"017", 15},
      {"08", 0},
      {"12abc", 12},
      {"true", 0},
      {"", 0},
      {"0x", 0},
      {"1.9", 1},
      {"4294967295", 4294967295},
      {"99999999999999999999999", std::numeric_limits<int64_t>::max()},
      {"-99999999999999999999999", std::numeric_limits<int64_t>::min()},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(readInteger(c.text), c.value);
  }
  EXPECT_TRUE(readBoolean("2"));
  EXPECT_FALSE(readBoolean("false"));
}

TEST(AttributeTextTest, ReadsRealsAndHex) {
  const struct {
    const char *text;
    double value;
  } reals[] = {{"1.5", 1.5},
               {" -2e3x", -2000},
               {"+.5", 0.5},
               {".", 0},
               {"inf", 0},
               {"nan", 0},
               {"abc", 0},
               {"1e999", std::numeric_limits<double>::max()},
               {"-1e999", -std::numeric_limits<double>::max()},
               {"1e-999", 0}};
  for (const auto &c : reals) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(readReal(c.text), c.value);
  }
  EXPECT_FALSE(readLeadingReal("x1"));
  const struct {
    const char *text;
    uint32_t value;
  } hex[] = {{"FF00", 0xFF00},          {"0xff00", 0xFF00}, {"10", 16},
             {"123456789", 0xFFFFFFFF}, {"-1", 0xFFFFFFFF}, {"zz", 0}};
  for (const auto &c : hex) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(readHex(c.text), c.value);
  }
}

TEST(AttributeTextTest, ReadsConstantsOrReferences) {
  const struct {
    const char *text;
    bool present;
    double constant;
    uint32_t handle;
  } cases[] = {
      {"10", true, 10, 0},        {"r1234", true, 1.0, 1234}, {"R0x4D2", true, 1.0, 1234},
      {"0x4D2", true, 1.0, 1234}, {"", false, 0, 0},          {"-0.25", true, -0.25, 0},
      {"rabc", true, 1.0, 0},     {"abc", true, 0, 0},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    const auto read = readConstantOrReference(c.text, 1.0);
    ASSERT_EQ(read.has_value(), c.present);
    if (read) {
      EXPECT_EQ(read->constant, c.constant);
      EXPECT_EQ(read->handle, c.handle);
    }
  }
}

TEST(AttributeTextTest, ParsesRegisterAddresses) {
  const struct {
    const char *text;
    std::optional<RegisterAddress> address;
  } cases[] = {
      {"400001", RegisterAddress{4, 0}},
      {"40001", RegisterAddress{4, 0}},
      {"465536", RegisterAddress{4, 65535}},
      {"300010", RegisterAddress{3, 9}},
      {"000001", RegisterAddress{0, 0}},
      {"11", RegisterAddress{1, 0}},
      {"4000019x", RegisterAddress{4, 0}}, // after the fifth digit nothing is examined
      {"4", std::nullopt},
      {"40", std::nullopt},
      {"465537", std::nullopt},
      {"200001", std::nullopt},
      {"500001", std::nullopt},
      {"x40001", std::nullopt},
      {"40a01", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(parseModbusAddress(c.text), c.address);
  }
}

} // namespace
} // namespace arxmod
