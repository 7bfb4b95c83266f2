// SystemLog rows, destinations, the syslog fallback with its first-attempt
// rule, host settings whose database fails, the notification program and
// concurrent writers.
#include "host/SystemLog.h"

#include "DatabaseLock.h"
#include "TempHostDatabase.h"
#include "host/ConfigDatabase.h"
#include "host/Console.h"
#include "host/EventLog.h"
#include "host/HostName.h"
#include "host/LogLevel.h"

#include <chrono>
#include <fstream>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <thread>

namespace arxmod {
namespace {

using ::testing::HasSubstr;
using ::testing::MatchesRegex;
using ::testing::Not;
using Rows = std::vector<ConfigDatabase::Row>;

struct Event {
  EventType type;
  std::string text;
};

class SystemLogTest : public ::testing::Test {
protected:
  void SetUp() override {
    consoleFile_ = database_.addConsoleFile();
    installConsole();
    SystemLog::instance().forgetAttempts();
    setEventLogSink([this](EventType type, std::string_view text) {
      std::lock_guard lock(eventsMutex_);
      events_.push_back({type, std::string(text)});
    });
  }
  void TearDown() override {
    setEventLogSink(nullptr);
    uninstallConsole();
  }

  Rows logRows() {
    return ConfigDatabase::instance().query(
        "SELECT Time,Priority,Host,Origin,SubOrigin,Origin2,Code,Text FROM SystemLog ORDER BY ID");
  }
  std::string console() { return test::readFile(consoleFile_); }
  // Makes every SystemLog insert fail (or succeed again) through a trigger.
  void failLogWrites(bool fail) {
    database_.exec("CREATE TABLE IF NOT EXISTS FailLog (Fail INTEGER);"
                   "DELETE FROM FailLog; INSERT INTO FailLog VALUES (" +
                   std::to_string(fail) +
                   ");"
                   "CREATE TRIGGER IF NOT EXISTS FailingLog BEFORE INSERT ON SystemLog"
                   " WHEN (SELECT Fail FROM FailLog) BEGIN"
                   " SELECT RAISE(ABORT, 'injected write failure'); END;");
  }

  test::TempHostDatabase database_;
  std::filesystem::path consoleFile_;
  std::mutex eventsMutex_;
  std::vector<Event> events_;
};

TEST_F(SystemLogTest, RowHoldsEveryColumnAndTheCleanedText) {
  SLMessage(LogDestination::ConsoleAndSystemLog, "Relay|A tripped\n")
      .write(191, "MX4110_4120.SO", 100, "Unknown", "Second");
  const Rows rows = logRows();
  ASSERT_EQ(rows.size(), 1u);
  const auto &row = rows[0];
  EXPECT_THAT(ConfigDatabase::toString(row[0]),
              MatchesRegex("[0-9]{4}-[0-9]{2}-[0-9]{2}T[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}"));
  EXPECT_EQ(row[1], ConfigDatabase::Cell{int64_t{191}});
  EXPECT_EQ(ConfigDatabase::toString(row[2]), defaultHostName());
  EXPECT_EQ(ConfigDatabase::toString(row[3]), "MX4110_4120.SO");
  EXPECT_EQ(ConfigDatabase::toString(row[4]), "Unknown");
  EXPECT_EQ(ConfigDatabase::toString(row[5]), "Second");
  EXPECT_EQ(row[6], ConfigDatabase::Cell{int64_t{100}});
  EXPECT_EQ(ConfigDatabase::toString(row[7]), "Relay A tripped ");
  EXPECT_THAT(console(), HasSubstr("[ERROR:     MX4110_4120.SO Unknown "));
  EXPECT_THAT(console(), HasSubstr(" Relay A tripped ]\n"));
  EXPECT_TRUE(events_.empty());
}

TEST_F(SystemLogTest, EmptyOriginBecomesTheDefaultHostName) {
  SLMessage(LogDestination::SystemLog, "text").write(10, "", 0, "", "");
  EXPECT_EQ(ConfigDatabase::toString(logRows().at(0)[3]), defaultHostName());
}

TEST_F(SystemLogTest, DestinationChoosesConsoleRowOrBoth) {
  const struct {
    LogDestination destination;
    bool console;
    bool row;
  } cases[] = {{LogDestination::Console, true, false},
               {LogDestination::ConsoleAndSystemLog, true, true},
               {LogDestination::SystemLog, false, true}};
  int marker = 0;
  for (const auto &c : cases) {
    SCOPED_TRACE(static_cast<int>(c.destination));
    const std::string text = "entry " + std::to_string(++marker);
    const size_t rowsBefore = logRows().size();
    SLMessage(c.destination, text).write(50, "origin", 1, "sub", "");
    EXPECT_EQ(console().find(text) != std::string::npos, c.console);
    EXPECT_EQ(logRows().size(), rowsBefore + (c.row ? 1 : 0));
  }
}

TEST_F(SystemLogTest, FailuresReachSyslogOnFirstAttemptOrAfterASuccess) {
  failLogWrites(true);
  SLMessage(LogDestination::SystemLog, "first").write(100, "origin", 1, "sub", "");
  SLMessage(LogDestination::SystemLog, "second").write(100, "origin", 1, "sub", "");
  ASSERT_EQ(events_.size(), 1u) << "after a failed first attempt further failures stay quiet";
  EXPECT_EQ(events_[0].type, EventType::Warning);
  EXPECT_THAT(events_[0].text, MatchesRegex("origin: .*injected write failure.*"));
  EXPECT_THAT(events_[0].text, Not(HasSubstr("CRITICAL ERROR")));

  failLogWrites(false);
  SLMessage(LogDestination::SystemLog, "third").write(100, "origin", 1, "sub", "");
  EXPECT_EQ(logRows().size(), 1u);
  EXPECT_EQ(events_.size(), 1u);

  failLogWrites(true);
  SLMessage(LogDestination::SystemLog, "fourth").write(255, "origin", 1, "sub", "");
  ASSERT_EQ(events_.size(), 2u) << "a log that worked and broke is reported";
  EXPECT_EQ(events_[1].type, EventType::Error);
  EXPECT_THAT(events_[1].text, MatchesRegex("CRITICAL ERROR: origin: .*injected write failure.*"));

  // Every failure, reported to syslog or not, leaves the console line.
  const std::string text = console();
  size_t lines = 0;
  for (size_t at = text.find("Unable to write to the System Log. Reason: "); at != text.npos;
       at = text.find("Unable to write to the System Log. Reason: ", at + 1))
    ++lines;
  EXPECT_EQ(lines, 3u);
  EXPECT_THAT(text, HasSubstr("[ERROR:     origin sub "));
}

TEST_F(SystemLogTest, UnopenableDatabaseFallsBackWithoutThrowing) {
  test::TempHostDatabase::use(database_.directory());
  SLMessage(LogDestination::ConsoleAndSystemLog, "lost").write(200, "origin", 1, "sub", "");
  ASSERT_EQ(events_.size(), 1u);
  EXPECT_EQ(events_[0].type, EventType::Error);
  // The first failure to reach the database is reported, whether it came
  // from the write or from a setting the write looked up before it.
  EXPECT_THAT(events_[0].text,
              HasSubstr(": Host database '" + database_.directory().string() + "'"));
  test::TempHostDatabase::use(database_.file());
}

TEST_F(SystemLogTest, HostSettingTellsAbsentFromAFailedDatabaseAndLogsTheFailure) {
  database_.exec("INSERT INTO HostSetting VALUES ('DataDirectory', '/var/lib/arx')");
  auto &client = ConfigDatabase::instance();
  const HostSettingRead absent = client.readHostSetting("NoSuchSetting");
  EXPECT_FALSE(absent.failed());
  EXPECT_EQ(absent.value, std::nullopt);
  EXPECT_EQ(client.hostSetting("NoSuchSetting"), std::nullopt);
  EXPECT_EQ(client.hostSetting("DataDirectory"), "/var/lib/arx");
  EXPECT_THAT(console(), Not(HasSubstr("could not be read")));

  for (const auto &c : test::hostDatabaseFaults(database_.directory(), database_.file())) {
    SCOPED_TRACE(c.name);
    test::TempHostDatabase::use(c.file); // a fresh connection, opened by the next read
    std::optional<test::DatabaseLock> lock;
    if (c.locked)
      lock.emplace(c.file);
    client.setBusyTimeout(std::chrono::milliseconds(20));
    const HostSettingRead read = client.readHostSetting("DataDirectory");
    EXPECT_TRUE(read.failed());
    EXPECT_THAT(read.failure, HasSubstr(c.reason));
    EXPECT_EQ(client.hostSetting("DataDirectory"), std::nullopt) << "the caller's default stays";
    EXPECT_THAT(console(), HasSubstr("Host setting 'DataDirectory' could not be read. Reason: " +
                                     read.failure));
  }
  test::TempHostDatabase::use(database_.file());

  // A database that answers takes the failure into the system log itself.
  database_.exec("DROP TABLE HostSetting");
  EXPECT_EQ(client.hostSetting("DataDirectory"), std::nullopt);
  const Rows rows = logRows();
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_THAT(ConfigDatabase::toString(rows[0][7]),
              HasSubstr("Host setting 'DataDirectory' could not be read. Reason: Host database '" +
                        database_.file().string() + "': no such table: HostSetting"));
  EXPECT_EQ(rows[0][1], ConfigDatabase::Cell{int64_t{kPriorityMessage}});
}

bool waitForFile(const std::filesystem::path &path, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!std::filesystem::exists(path)) {
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

TEST_F(SystemLogTest, NotificationProgramStartsOnlyForCriticalEntries) {
  const auto marker = database_.directory() / "notified";
  setenv("KSL_SYSLOG_NOTIFY", ("touch '" + marker.string() + "'").c_str(), 1);
  SLMessage("serious").write(254, "origin", 1, "sub", "");
  EXPECT_FALSE(waitForFile(marker, std::chrono::milliseconds(300)));
  SLMessage("critical").write(255, "origin", 1, "sub", "");
  EXPECT_TRUE(waitForFile(marker, std::chrono::seconds(5)));
  unsetenv("KSL_SYSLOG_NOTIFY");
}

TEST_F(SystemLogTest, ConcurrentWritersAndReadersLoseNoRows) {
  constexpr int kThreads = 8;
  constexpr int kEntries = 40;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kEntries; ++i) {
        SLMessage::format(LogDestination::ConsoleAndSystemLog, "thread %d entry %d", t, i)
            .write(20, "origin", i, "sub", "");
        // Readers share the connection with the log writers.
        ConfigDatabase::instance().query("SELECT COUNT(*) FROM SystemLog");
      }
    });
  }
  for (auto &thread : threads)
    thread.join();
  const auto counts =
      ConfigDatabase::instance().query("SELECT COUNT(*), COUNT(DISTINCT Text) FROM SystemLog");
  EXPECT_EQ(counts.at(0)[0], ConfigDatabase::Cell{int64_t{kThreads * kEntries}});
  EXPECT_EQ(counts.at(0)[1], ConfigDatabase::Cell{int64_t{kThreads * kEntries}});
  EXPECT_TRUE(events_.empty());
}

} // namespace
} // namespace arxmod
