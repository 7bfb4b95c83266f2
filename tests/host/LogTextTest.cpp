// Level words, text cleaning and message formatting of log entries.
#include "host/LogLevel.h"
#include "host/SLMessage.h"

#include <climits>
#include <gtest/gtest.h>

namespace arxmod {
namespace {

TEST(LogLevelTest, BandsChangeAtTheirLowerEdges) {
  const struct {
    unsigned priority;
    std::string_view word;
  } cases[] = {
      {0, "DIAG:     "},   {5, "DIAG:     "},   {6, "INFO:     "},   {25, "INFO:     "},
      {26, "WARNING:  "},  {127, "WARNING:  "}, {128, "ERROR:    "}, {191, "ERROR:    "},
      {254, "ERROR:    "}, {255, "CRITICAL: "}, {256, "CRITICAL: "}, {UINT_MAX, "CRITICAL: "},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.priority);
    EXPECT_EQ(levelWord(c.priority), c.word);
    EXPECT_EQ(levelWord(c.priority).size(), 10u);
  }
}

TEST(SLMessageTest, CleaningReplacesSeparatorsByOneBlankEach) {
  const struct {
    std::string_view text;
    std::string_view cleaned;
  } cases[] = {
      {"Relay|Trip", "Relay Trip"},
      {"trailing newline\n", "trailing newline "},
      {"a\tb", "a b"},
      {"a\bb", "a b"},
      {"line\r\n", "line  "},
      {"||", "  "},
      {"plain text, 100% fine", "plain text, 100% fine"},
      {"", ""},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(SLMessage::cleanText(c.text), c.cleaned);
  }
}

TEST(SLMessageTest, FormatExpandsArgumentsOfAnyLength) {
  const SLMessage short_ =
      SLMessage::format(LogDestination::ConsoleAndSystemLog, "Device %u: %s", 7u, "offline");
  EXPECT_EQ(short_.text(), "Device 7: offline");
  EXPECT_EQ(short_.destination(), LogDestination::ConsoleAndSystemLog);

  const std::string longArgument(5000, 'z');
  const SLMessage long_ = SLMessage::format(LogDestination::Console, "<%s>", longArgument.c_str());
  EXPECT_EQ(long_.text(), "<" + longArgument + ">");
}

} // namespace
} // namespace arxmod
