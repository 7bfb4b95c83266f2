// arxhost demo as a newcomer runs it, with nothing set up: every step runs
// without a failure, the lead/lag handle agrees with the power factor, the
// modules show values computed from the meter's, the data recorder's log
// reads back, and the temporary folder is gone afterwards, also once the
// process has exited. A program of its own, as the demo makes its own host
// database.
#include "ChildProcess.h"
#include "ToolFixture.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <iterator>
#include <regex>
#include <sstream>

namespace arxhost {
namespace {

// The number in the VALUE column of the row labelled `label`; NaN when
// there is none.
double tableValue(const std::string &text, const std::string &label) {
  std::smatch row;
  if (!std::regex_search(text, row, std::regex("\\n\\d+ +" + label + " +(-?[0-9.]+)")))
    return std::nan("");
  return std::stod(row[1].str());
}

class DemoCommandTest : public ::testing::Test {
protected:
  // The demo runs once for all tests of the program: it takes seconds.
  static void SetUpTestSuite() {
    std::ostringstream out;
    status_ = demoCommand(DemoOptions{ARXMOD_PLUGIN_PATH}, out);
    text_ = out.str();
  }
  static int status_;
  static std::string text_;
};

int DemoCommandTest::status_ = -1;
std::string DemoCommandTest::text_;

TEST_F(DemoCommandTest, DemoWalksThroughEveryStepAndCleansUp) {
  EXPECT_EQ(status_, 0) << text_;
  for (const char *command :
       {"$ arxhost init", "$ arxhost device add meter1", "$ arxhost plan", "$ arxhost read meter1",
        "$ arxhost write meter1", "$ arxhost read meter1 288 0x0B200006",
        "$ arxhost read meter1 1025", "$ arxhost write meter1 1665", "$ arxhost read meter1 1538",
        "$ arxhost run meter1", "$ ls ", "$ arxhost log"}) {
    SCOPED_TRACE(command);
    EXPECT_NE(text_.find(command), text_.npos);
  }
  EXPECT_EQ(text_.find("arxhost: "), text_.npos) << "no step failed";
  std::smatch folder;
  ASSERT_TRUE(std::regex_search(text_, folder, std::regex("Everything lives in (\\S+)")));
  EXPECT_FALSE(std::filesystem::exists(folder[1].str()));
}

// The plug-in stays loaded until the process exits and then saves the
// logs its modules filled: the demo's folder must not come back then.
TEST(DemoProcessTest, TheTemporaryFolderStaysGoneAfterTheProcessExits) {
  arxmod::test::ChildProcess demo({ARXHOST_PATH, "demo"});
  ASSERT_TRUE(demo.started());
  std::string folder;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (std::string line; std::chrono::steady_clock::now() < deadline;) {
    line = demo.readLine(60000);
    std::smatch named;
    if (folder.empty() && std::regex_search(line, named, std::regex("Everything lives in (\\S+)")))
      folder = named[1].str();
    if (line.rfind("'arxhost --help' lists every command.", 0) == 0)
      break;
  }
  EXPECT_EQ(demo.wait(30000), 0);
  ASSERT_FALSE(folder.empty());
  EXPECT_FALSE(std::filesystem::exists(folder)) << folder;
}

TEST_F(DemoCommandTest, TheLeadLagHandleAgreesWithThePowerFactorsSign) {
  const std::string step = text_.substr(std::min(text_.find(". Lead or lag"), text_.size()));
  const double powerFactor = tableValue(step, "Power Factor");
  ASSERT_FALSE(std::isnan(powerFactor)) << text_;
  const std::string word = powerFactor < 0 ? "Lead" : "Lag";
  EXPECT_TRUE(std::regex_search(step, std::regex("PF Lead/Lag +" + word + "\\b"))) << step;
}

TEST_F(DemoCommandTest, ModulesShowWhatTheyComputedFromTheMeterValues) {
  for (int phase = 1; phase <= 3; ++phase) {
    SCOPED_TRACE(phase);
    const double minimum = tableValue(text_, "Min 1 Minimum " + std::to_string(phase));
    const double maximum = tableValue(text_, "Max 1 Maximum " + std::to_string(phase));
    // Phase voltages of the simulated feeder, 230 V with a little noise.
    EXPECT_GT(minimum, 220.0) << text_;
    EXPECT_LE(minimum, maximum);
    EXPECT_LT(maximum, 240.0);
  }
  EXPECT_GT(tableValue(text_, "Avg 1 Value 1"), 0.0) << "the mean total power, in kW";
  EXPECT_GT(tableValue(text_, "Avg 1 Value 2"), 0.0) << "the mean current of phase A";
  EXPECT_EQ(tableValue(text_, "Ext 1 Number"), 42.5) << "what the demo wrote";
}

TEST_F(DemoCommandTest, TheDataRecordersLogReadsBackAndItsFileIsNamed) {
  EXPECT_TRUE(std::regex_search(text_, std::regex("DR 1 Log State +true"))) << "recording";
  EXPECT_GE(tableValue(text_, "DR 1 Record Complete"), 3.0) << text_;
  // Three records of four values: number, time, Vln a, I a, kW tot, PF.
  const std::regex record("LogRecordType \\{ \\d+u [0-9.]+ PICTypeContainer \\{( \\S+){4} \\}");
  const auto records = std::distance(std::sregex_iterator(text_.begin(), text_.end(), record),
                                     std::sregex_iterator());
  EXPECT_EQ(records, 3) << text_;
  EXPECT_NE(text_.find("0000000100000601.arx"), text_.npos) << "device 1, handle 0x601";
}

} // namespace
} // namespace arxhost
