// The synchronisation of the meter's clock through whole Process calls on
// the test clock: the first one 300 s after the device's first call, none
// within 75 s of a five-minute mark, the interval from CustomProperty1 and
// the map, failures put off, a clock that went back, the set-time block in
// local standard time, and the console line that announces it.
#include "MeterTranslatorFixture.h"
#include "host/Console.h"
#include "map/ZoneBias.h"

#include <mutex>

namespace arxmod::test {
namespace {

using namespace std::chrono_literals;
using sim::RegisterBank;

constexpr uint32_t kModule = 0x100;

// The console text written while the object lives.
class ConsoleCapture {
public:
  ConsoleCapture() {
    consoleBuffer().setSink([this](std::string_view piece) {
      std::lock_guard lock(mutex_);
      text_.append(piece);
    });
  }
  ~ConsoleCapture() {
    consoleBuffer().pubsync();
    consoleBuffer().setSink([](std::string_view piece) {
      [[maybe_unused]] auto written = ::write(2, piece.data(), piece.size());
    });
  }
  std::string text() {
    consoleBuffer().pubsync();
    std::lock_guard lock(mutex_);
    return text_;
  }

private:
  std::mutex mutex_;
  std::string text_;
};

class TimeSyncTest : public MeterTranslatorFixture {
protected:
  // One call at `when` (a read of the module's setup counter, which needs
  // nothing from the meter); true when it set the meter's clock.
  bool callAt(uint16_t device, WallTime when) {
    clock().setWall(when);
    const size_t before = setTimeBlocks().size();
    run(device, {{kModule, 80}});
    return setTimeBlocks().size() > before;
  }
  std::vector<std::vector<uint16_t>> setTimeBlocks() {
    std::vector<std::vector<uint16_t>> blocks;
    for (const LoggedAccess &access : commandTraffic())
      if (access.write && !access.words.empty() && access.words[0] == 1003)
        blocks.push_back(access.words);
    return blocks;
  }

  XLARX::ScopedZoneBias utcZone_{{}};
};

// 12:02:00 and one second past it, five minutes later, lie away from every
// five-minute mark, so these times show the interval rules alone.
const WallTime kNoon = utc(2026, 3, 2, 12, 2, 0);

TEST_F(TimeSyncTest, FirstSynchronisationIsDue300SecondsAfterTheFirstCall) {
  const uint16_t device = addMeterDevice();
  struct Step {
    WallTime when;
    bool syncs;
  } steps[] = {
      {kNoon - 301s, false}, // the device's first call
      {kNoon - 1s, false},   // exactly 300 s later: not yet
      {kNoon, true},          {kNoon + 1s, false},
      {kNoon + 3600s, false}, {kNoon + 3601s, true}, // then hourly
  };
  for (const Step &step : steps) {
    SCOPED_TRACE(std::chrono::duration_cast<std::chrono::seconds>(step.when - kNoon).count());
    EXPECT_EQ(callAt(device, step.when), step.syncs);
  }
  EXPECT_EQ(setTimeBlocks().front(),
            (std::vector<uint16_t>{1003, 0xFFFF, 2026, 3, 2, 12, 2, 0, 0}));
}

TEST_F(TimeSyncTest, NoSynchronisationStartsNearAFiveMinuteMark) {
  const uint16_t device = addMeterDevice();
  const WallTime first = utc(2026, 3, 2, 11, 59, 29);
  struct Step {
    WallTime when;
    bool syncs;
  } steps[] = {
      {first, false},
      {utc(2026, 3, 2, 12, 4, 30), false}, // due, 90 s before 12:05: put off by 15 s
      {utc(2026, 3, 2, 12, 4, 45), false}, // not due again yet
      {utc(2026, 3, 2, 12, 6, 14), false}, // 74 s after 12:05
      {utc(2026, 3, 2, 12, 7, 0), true},
  };
  for (const Step &step : steps) {
    SCOPED_TRACE(std::chrono::duration_cast<std::chrono::seconds>(step.when - first).count());
    EXPECT_EQ(callAt(device, step.when), step.syncs);
  }
}

TEST_F(TimeSyncTest, IntervalComesFromCustomProperty1AndTheMap) {
  struct Case {
    std::string customProperty1;
    std::string timeSyncInterval; // the map's; empty: not given
    std::optional<int> interval;  // seconds; none: never synchronised
  } cases[] = {
      {"", "", 3600},  {"", "0", {}},         {"", "900", 900},
      {"", "5", 3600}, {"Maybe", "900", 900}, {"No", "900", {}},
      {"no", "", {}},  {"yes", "900", 3600},  {"YES", "0", 3600},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE("'" + c.customProperty1 + "' '" + c.timeSyncInterval + "'");
    const std::string deviceInfo =
        c.timeSyncInterval.empty() ? ""
                                   : "<DeviceInfo TimeSyncInterval='" + c.timeSyncInterval + "'/>";
    const uint16_t device = addMeterDevice("meter", deviceInfo, c.customProperty1);
    const auto interval = std::chrono::seconds(c.interval.value_or(3600));
    EXPECT_FALSE(callAt(device, kNoon - 301s));
    EXPECT_EQ(callAt(device, kNoon), c.interval.has_value());
    EXPECT_FALSE(callAt(device, kNoon + interval));
    EXPECT_EQ(callAt(device, kNoon + interval + 1s), c.interval.has_value());
  }
}

TEST_F(TimeSyncTest, FailedSynchronisationIsRetriedAfterAPutOff) {
  struct Case {
    std::string deviceInfo;
    std::chrono::seconds first;  // of the first call, before the first try
    std::chrono::seconds putOff; // the retry waits for more than this
  } cases[] = {
      {"", 301s, 300s},                                     // 3600 s: a quarter, at most 300
      {"<DeviceInfo TimeSyncInterval='60'/>", 61s, 30s},    // 60 s: a quarter, at least 30
      {"<DeviceInfo TimeSyncInterval='1200'/>", 301s, 300s} // 1200 s: a quarter
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.deviceInfo);
    const uint16_t device = addMeterDevice("meter", c.deviceInfo);
    EXPECT_FALSE(callAt(device, kNoon - c.first));
    inject("exception:4,fc=16");
    EXPECT_FALSE(callAt(device, kNoon)); // sent, refused
    EXPECT_FALSE(callAt(device, kNoon + c.putOff));
    EXPECT_TRUE(callAt(device, kNoon + c.putOff + 1s));
  }
}

TEST_F(TimeSyncTest, ClockSetBackMakesTheNextSynchronisationDueAtOnce) {
  const uint16_t device = addMeterDevice();
  EXPECT_FALSE(callAt(device, kNoon - 301s));
  EXPECT_TRUE(callAt(device, kNoon));
  EXPECT_FALSE(callAt(device, kNoon - 7200s)); // two hours back
  EXPECT_TRUE(callAt(device, kNoon - 7199s));
}

TEST_F(TimeSyncTest, MeterIsSetToLocalStandardTimeAndItsClockRuns) {
  for (const bool summer : {false, true}) {
    SCOPED_TRACE(summer);
    XLARX::ScopedZoneBias zone({.bias = -60, .standardBias = 0, .daylight = summer});
    resetMeter();
    const WallTime when = utc(2026, summer ? 7 : 1, 15, 14, 32, 30);
    meter().tick(when);
    const uint16_t device = addMeterDevice();
    EXPECT_FALSE(callAt(device, when - 301s));
    EXPECT_TRUE(callAt(device, when));
    EXPECT_EQ(setTimeBlocks().back(),
              (std::vector<uint16_t>{1003, 0xFFFF, 2026, summer ? uint16_t{7} : uint16_t{1}, 15, 15,
                                     32, 30, 0}));
    meter().tick(when + 10s);
    withMeter([&](RegisterBank &bank) {
      EXPECT_EQ(
          sim::meterClock(bank),
          (std::array<uint16_t, 6>{2026, summer ? uint16_t{7} : uint16_t{1}, 15, 15, 32, 40}));
    });
  }
}

TEST_F(TimeSyncTest, SynchronisationIsAnnouncedOnTheConsoleWithTheDevicesSite) {
  auto &database = meterDevices().database();
  const uint16_t withSite = addMeterDevice("Feeder 7");
  const uint16_t withoutSite = addMeterDevice("Feeder 8");
  database.exec("INSERT INTO Site(ID,Name) VALUES(" + std::to_string(withSite) + ",'Plant North')");
  database.exec("INSERT INTO Port(ID,Name,SiteID) VALUES(" + std::to_string(withSite) + ",'COM1'," +
                std::to_string(withSite) + ")");
  database.exec("UPDATE Device SET PortID=" + std::to_string(withSite) +
                " WHERE ID=" + std::to_string(withSite));
  ConsoleCapture console;
  for (const uint16_t device : {withSite, withoutSite})
    EXPECT_FALSE(callAt(device, kNoon - 301s));
  for (const uint16_t device : {withSite, withoutSite})
    EXPECT_TRUE(callAt(device, kNoon));
  const std::string text = console.text();
  EXPECT_NE(text.find("[DIAG:      Plant North FIELDHUB "), std::string::npos) << text;
  EXPECT_NE(text.find(" TimeSyncing 'Feeder 7']\n"), std::string::npos) << text;
  EXPECT_NE(text.find("[DIAG:      SiteName FIELDHUB "), std::string::npos) << text;
  EXPECT_NE(text.find(" TimeSyncing 'Feeder 8']\n"), std::string::npos) << text;
}

} // namespace
} // namespace arxmod::test
