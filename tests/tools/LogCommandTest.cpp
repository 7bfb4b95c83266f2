// log and trace as a user follows them: rows with their level words, the
// last N, new rows and trace lines as they come while the clock is stepped,
// and the stop.
#include "SharedOutput.h"
#include "ToolFixture.h"

#include "base/Clock.h"

#include <fstream>
#include <sqlite3.h>
#include <thread>

namespace arxhost {
namespace {

class LogCommandTest : public ToolFixture {
protected:
  void SetUp() override {
    ToolFixture::SetUp();
    std::ostringstream out;
    initCommand(db, out);
  }
  void addRow(int priority, const std::string &text, const std::string &subOrigin = "",
              int code = 0) {
    std::string quoted;
    for (const char c : text)
      quoted += c == '\'' ? std::string("''") : std::string(1, c);
    sqlite3 *handle = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &handle), SQLITE_OK);
    const std::string sql =
        "INSERT INTO SystemLog(Time,Priority,Host,Origin,SubOrigin,Code,Text) VALUES("
        "'2026-12-09T14:02:0" +
        std::to_string(++rows_) + ".000'," + std::to_string(priority) +
        ",'host','MX4110_4120.SO'," + (subOrigin.empty() ? "NULL" : "'" + subOrigin + "'") + "," +
        std::to_string(code) + ",'" + quoted + "')";
    EXPECT_EQ(sqlite3_exec(handle, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(handle);
  }

  arxmod::ManualClock clock;
  arxmod::ScopedClock useClock{clock};
  int rows_ = 0;
};

TEST_F(LogCommandTest, ShowsRowsWithTheirLevelWords) {
  addRow(3, "a diagnostic");
  addRow(20, "for your information");
  addRow(100, "a warning");
  addRow(191, "Cannot find translator map file 'map.xml'", "Process", 100);
  addRow(255, "unexpected");
  std::ostringstream all;
  EXPECT_EQ(logCommand(db, {}, all, std::stop_token()), 0);
  EXPECT_EQ(all.str(),
            "2026-12-09T14:02:01.000 DIAG:     MX4110_4120.SO: a diagnostic\n"
            "2026-12-09T14:02:02.000 INFO:     MX4110_4120.SO: for your information\n"
            "2026-12-09T14:02:03.000 WARNING:  MX4110_4120.SO: a warning\n"
            "2026-12-09T14:02:04.000 ERROR:    MX4110_4120.SO (Process) code 100: Cannot find "
            "translator map file 'map.xml'\n"
            "2026-12-09T14:02:05.000 CRITICAL: MX4110_4120.SO: unexpected\n");
  std::ostringstream last;
  logCommand(db, {false, 2}, last, std::stop_token());
  EXPECT_EQ(last.str().substr(0, 23), "2026-12-09T14:02:04.000");
  const std::string lastTwo = last.str();
  EXPECT_EQ(std::count(lastTwo.begin(), lastTwo.end(), '\n'), 2);
}

TEST_F(LogCommandTest, FollowsNewRowsUntilStopped) {
  addRow(191, "before");
  SharedOutput output;
  std::jthread follow([&](std::stop_token stop) {
    logCommand(db, {true, 1}, output.stream(), stop);
  });
  EXPECT_TRUE(output.waitFor("before\n"));
  addRow(191, "after one");
  addRow(20, "after two");
  clock.advance(std::chrono::seconds(1));
  EXPECT_TRUE(output.waitFor("after two\n")) << output.text();
  follow.request_stop();
  follow.join();
  const std::string shown = output.text();
  EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 3);
}

TEST_F(LogCommandTest, TraceFollowsTheTraceFileUntilStopped) {
  const auto file = dir / "arxmod.trace";
  std::ofstream(file) << "1\n2\n3\n";
  SharedOutput output;
  std::jthread follow([&](std::stop_token stop) {
    traceCommand({file, 2}, output.stream(), stop);
  });
  EXPECT_TRUE(output.waitFor("2\n3\n"));
  std::ofstream(file, std::ios::app) << "TX:01 03 03 E8 00 1C\n";
  clock.advance(std::chrono::seconds(1));
  EXPECT_TRUE(output.waitFor("TX:01 03 03 E8 00 1C\n")) << output.text();
  follow.request_stop();
  follow.join();
  EXPECT_EQ(output.text(), "2\n3\nTX:01 03 03 E8 00 1C\n");
}

TEST_F(LogCommandTest, TraceSaysWhereTheFileShouldBeNamed) {
  unsetenv("ARXMOD_TRACE_FILE");
  std::ostringstream out;
  EXPECT_EQ(errorOf([&] { traceCommand({}, out, std::stop_token()); }),
            "no trace file: set ARXMOD_TRACE_FILE (for this command and for the one that runs "
            "the plug-in) or give --file FILE");
}

} // namespace
} // namespace arxhost
