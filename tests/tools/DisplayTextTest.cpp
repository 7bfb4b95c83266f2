// The text form tables show a value in: float-exact numbers with the digits
// of a float, other doubles digit for digit as their full text form shows
// them, texts unquoted, and no undefined conversion for doubles beyond the
// float range.
#include "HandleValues.h"
#include "ProgramText.h"

#include "types/ArrayTypes.h"
#include "types/MemoryBlob.h"
#include "types/NumericTypes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace arxhost {
namespace {

TEST(DisplayTextTest, ShowsFloatExactNumbersShortAndOtherDoublesAsTheirTextForm) {
  arxmod::RegisteredMemoryBlob blob(4096);
  const struct {
    double number;
    const char *shown;
  } floatExact[] = {
      {static_cast<double>(68.948654f), "68.948654"}, {0.0, "0"}, {-2.5, "-2.5"}, {1e10, "1e+10"}};
  for (const auto &c : floatExact)
    EXPECT_EQ(displayText(*blob.make<arxmod::Float64Type>(c.number)), c.shown) << c.number;

  // Every other double: the same digits as the value's own text form.
  const double others[] = {230.123456789,
                           0.1 + 0.2,
                           1.0 / 3.0,
                           -2.5e-10,
                           1234567.891,
                           1e300,
                           -1e300,
                           std::numeric_limits<double>::max(),
                           std::numeric_limits<double>::denorm_min(),
                           std::numeric_limits<double>::quiet_NaN(),
                           std::numeric_limits<double>::infinity()};
  for (const double number : others) {
    const arxmod::Float64Type &value = *blob.make<arxmod::Float64Type>(number);
    EXPECT_EQ(displayText(value), oneLine(value)) << number;
  }
}

TEST(DisplayTextTest, ShowsTextsUnquotedAndOtherValuesInTheirOneLineForm) {
  arxmod::RegisteredMemoryBlob blob(4096);
  EXPECT_EQ(displayText(*arxmod::makeString(blob, "Main feeder")), "Main feeder");
  const arxmod::SignedType &count = *blob.make<arxmod::SignedType>(-42);
  EXPECT_EQ(displayText(count), oneLine(count));
}

} // namespace
} // namespace arxhost
