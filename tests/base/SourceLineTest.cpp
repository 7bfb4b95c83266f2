// SourceLine reports the line of the call, also when passed on, under
// every compiler the project builds with.
#include "base/SourceLine.h"

#include <gtest/gtest.h>

namespace arxmod {
namespace {

unsigned lineOf(SourceLine where = SourceLine::current()) { return where.line(); }
unsigned forwardedLine(SourceLine where = SourceLine::current()) { return lineOf(where); }

TEST(SourceLineTest, ADefaultedParameterTakesTheCallersLine) {
  const unsigned here = __LINE__;
  EXPECT_EQ(lineOf(), here + 1);
  EXPECT_EQ(forwardedLine(), here + 2);
}

} // namespace
} // namespace arxmod
