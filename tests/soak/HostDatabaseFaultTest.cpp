// The host database failing under a whole Process call: missing, not a
// database, or held by another writer for longer than the busy timeout.
// The call ends with Process false, the console names the database and
// its reason (the system log, in the same database, cannot take it), and
// once the database is back the next call for the device reads its meter.
#include "DatabaseLock.h"
#include "SoakMeters.h"

#include "files/FileManager.h"
#include "frame/EngineSelection.h"
#include "frame/ProcessCall.h"
#include "host/ConfigDatabase.h"
#include "host/Console.h"
#include "meter/MX4110_4120Translator.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <optional>

namespace arxmod::test::soak {
namespace {

using ::testing::HasSubstr;

TEST(HostDatabaseFaultTest, FailingDatabaseEndsTheCallAndTheNextCallReadsTheMeterAgain) {
  TempHostDatabase &database = meterDevices().database();
  FileManager::instance().setRecheckInterval(0);
  installDeviceTranslatorMaker(&XLARX::makeMX4110_4120Translator);
  installConsole();
  for (const auto &c : hostDatabaseFaults(database.directory(), database.file())) {
    SCOPED_TRACE(c.name);
    // A device the process has not met: its file names must come from the database.
    SoakMeters meters(1);
    const auto consoleBefore = readFile(database.directory() / "console.txt").size();
    {
      TempHostDatabase::use(c.file);
      std::optional<DatabaseLock> lock;
      if (c.locked)
        lock.emplace(c.file);
      ConfigDatabase::instance().setBusyTimeout(std::chrono::milliseconds(20));
      const Answer failed =
          callProgram(&processCall, meters.exchange(0), meters.device(0), {{kCounter, 21}});
      EXPECT_FALSE(failed.processed);
      const std::string console =
          readFile(database.directory() / "console.txt").substr(consoleBefore);
      EXPECT_THAT(console, HasSubstr(c.reason));
      EXPECT_THAT(console, HasSubstr("Unable to write to the System Log. Reason: "));
    }
    TempHostDatabase::use(database.file());
    const Answer answer =
        callProgram(&processCall, meters.exchange(0), meters.device(0), {{kCounter, 21}});
    ASSERT_EQ(answer.results.size(), 1u);
    EXPECT_EQ(meters.checkCounter(0, answer.results[0]), Verdict::Held) << answer.results[0];
  }
  uninstallConsole();
}

} // namespace
} // namespace arxmod::test::soak
