// JSON output: escaping by RFC 8259 (including bytes a meter's text may
// hold that are not UTF-8), numbers that read back exactly, typed values
// and the exact line shape of read --json.
#include "Json.h"
#include "HandleValues.h"
#include "ValueJson.h"

#include "types/ArrayTypes.h"
#include "types/MemoryBlob.h"
#include "types/TextParser.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

namespace arxhost {
namespace {

TEST(JsonTest, EscapesStringsAndKeepsOnlyValidUtf8) {
  struct Case {
    const char *name;
    std::string text;
    std::string json;
  };
  const Case cases[] = {
      {"plain", "Vln a", R"("Vln a")"},
      {"quote and backslash", R"(say "hi" \ bye)", R"("say \"hi\" \\ bye")"},
      {"short escapes", "a\nb\tc\rd\be\f", R"("a\nb\tc\rd\be\f")"},
      {"other controls", std::string("\x01\x1f", 2), R"("\u0001\u001f")"},
      {"nul", std::string("a\0b", 3), R"("a\u0000b")"},
      {"delete passes", "\x7f", "\"\x7f\""},
      {"two-byte UTF-8", "\xc3\x84", "\"\xc3\x84\""},
      {"three-byte UTF-8", "\xe2\x82\xac", "\"\xe2\x82\xac\""},
      {"four-byte UTF-8", "\xf0\x9f\x94\x8c", "\"\xf0\x9f\x94\x8c\""},
      {"Latin-1 byte", "\xff", R"("\u00ff")"},
      {"lone continuation", "\x80x", R"("\u0080x")"},
      {"cut sequence", "\xe2\x82", R"("\u00e2\u0082")"},
      {"overlong slash", "\xc0\xaf", R"("\u00c0\u00af")"},
      {"surrogate", "\xed\xa0\x80", R"("\u00ed\u00a0\u0080")"},
      {"past U+10FFFF", "\xf4\x90\x80\x80", R"("\u00f4\u0090\u0080\u0080")"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(jsonString(c.text), c.json);
  }
}

TEST(JsonTest, WritesNumbersThatReadBackExactlyAndNullForTheRest) {
  EXPECT_EQ(jsonNumber(230.4), "230.4");
  EXPECT_EQ(jsonNumber(0.1 + 0.2), "0.30000000000000004");
  EXPECT_EQ(jsonNumber(-0.0), "-0");
  EXPECT_EQ(jsonNumber(1e300), "1e+300");
  EXPECT_EQ(jsonNumber(std::nan("")), "null");
  EXPECT_EQ(jsonNumber(std::numeric_limits<double>::infinity()), "null");
  EXPECT_EQ(jsonNumber(-std::numeric_limits<double>::infinity()), "null");
}

TEST(JsonTest, WritesTypedValuesByTheirKind) {
  struct Case {
    const char *text; // the value's text form
    const char *json;
  };
  const Case cases[] = {
      {"true", "true"},
      {"-5", "-5"},
      {"4000000000u", "4000000000"},
      {"2.5", "2.5"},
      {"void", "null"},
      {"\"Main Feeder\"", R"("Main Feeder")"},
      {"UnsignedArrayType { 1u 2u }", "[1, 2]"},
      {"PICTypeContainer { 1u \"a\" }", R"([1, "a"])"},
  };
  arxmod::MemoryBlob blob(4096);
  for (const Case &c : cases) {
    SCOPED_TRACE(c.text);
    const arxmod::PICType *value = arxmod::parsePICText(c.text, blob);
    ASSERT_NE(value, nullptr);
    EXPECT_EQ(valueJson(*value), c.json);
  }
  EXPECT_EQ(valueJson(*arxmod::makeString(blob, "say \"hi\"\n")), R"("say \"hi\"\n")");
}

TEST(JsonTest, ReadLinesKeepTheirKeysInOrder) {
  HandleResult good{"230.4", std::nullopt};
  EXPECT_EQ(resultJson(272, "Vln a", good),
            R"({"handle": 272, "label": "Vln a", "value": 230.4, "error": null})");
  HandleResult bad{"null", InvocationError{9, "Invalid object 999"}};
  EXPECT_EQ(resultJson(2457, "", bad, "2026-12-09T14:02:03.123Z"),
            R"({"handle": 2457, "label": "", "value": null, )"
            R"("error": {"code": 9, "text": "Invalid object 999"}, )"
            R"("time": "2026-12-09T14:02:03.123Z"})");
}

TEST(JsonTest, TimesAreUtcWithMilliseconds) {
  using namespace std::chrono;
  const system_clock::time_point time{seconds(1'700'000'000) + milliseconds(42)};
  EXPECT_EQ(isoTime(time), "2023-11-14T22:13:20.042Z");
}

} // namespace
} // namespace arxhost
