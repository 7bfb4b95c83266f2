// arxhost demo as a newcomer runs it, with nothing set up: every step runs
// without a failure, and the temporary folder is gone afterwards. A program
// of its own, as the demo makes its own host database.
#include "ToolFixture.h"

#include <regex>
#include <sstream>

namespace arxhost {
namespace {

TEST(DemoCommandTest, DemoWalksThroughEveryStepAndCleansUp) {
  std::ostringstream out;
  EXPECT_EQ(demoCommand(DemoOptions{ARXMOD_PLUGIN_PATH}, out), 0) << out.str();
  const std::string text = out.str();
  for (const char *command : {"$ arxhost init", "$ arxhost device add meter1", "$ arxhost plan",
                              "$ arxhost read meter1", "$ arxhost write meter1", "$ arxhost log"}) {
    SCOPED_TRACE(command);
    EXPECT_NE(text.find(command), text.npos);
  }
  EXPECT_EQ(text.find("arxhost: "), text.npos) << "no step failed";
  std::smatch folder;
  ASSERT_TRUE(std::regex_search(text, folder, std::regex("Everything lives in (\\S+)")));
  EXPECT_FALSE(std::filesystem::exists(folder[1].str()));
}

} // namespace
} // namespace arxhost
