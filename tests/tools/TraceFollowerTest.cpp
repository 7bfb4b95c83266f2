// Following a trace file as it grows, is emptied, replaced, or not there
// yet; a line comes out only once it is complete.
#include "TraceFollower.h"
#include "ToolFixture.h"

#include <fstream>

namespace arxhost {
namespace {

using TraceFollowerTest = ToolFixture;
using Lines = std::vector<std::string>;

void append(const std::filesystem::path &file, const std::string &text) {
  std::ofstream(file, std::ios::app) << text;
}

TEST_F(TraceFollowerTest, HandsOutCompleteLinesAsTheyAreAppended) {
  const auto file = dir / "trace.txt";
  TraceFollower trace(file);
  EXPECT_EQ(trace.lastLines(10), Lines{});
  append(file, "one\ntwo\nthree\nfour\nhalf");
  EXPECT_EQ(trace.lastLines(2), (Lines{"three", "four"}));
  EXPECT_EQ(trace.newLines(), Lines{});
  append(file, " a line\nfive\n");
  EXPECT_EQ(trace.newLines(), (Lines{"half a line", "five"}));
  EXPECT_EQ(trace.newLines(), Lines{});
}

TEST_F(TraceFollowerTest, StartsOverWhenTheFileIsEmptiedOrReplaced) {
  const auto file = dir / "trace.txt";
  TraceFollower trace(file);
  append(file, "old 1\nold 2\n");
  EXPECT_EQ(trace.newLines(), (Lines{"old 1", "old 2"}));

  std::ofstream(file, std::ios::trunc) << "new\n";
  EXPECT_EQ(trace.newLines(), Lines{"new"});

  const auto replacement = dir / "next.txt";
  append(replacement, "replaced 1\nreplaced 2\n");
  std::filesystem::rename(replacement, file);
  EXPECT_EQ(trace.newLines(), (Lines{"replaced 1", "replaced 2"}));

  std::filesystem::remove(file);
  EXPECT_EQ(trace.newLines(), Lines{});
  append(file, "back\n");
  EXPECT_EQ(trace.newLines(), Lines{"back"});
}

} // namespace
} // namespace arxhost
