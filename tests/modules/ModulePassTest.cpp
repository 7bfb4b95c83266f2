// Passes of the virtual modules on the test clock: what each module makes
// of its inputs, its resets and enables, its events and its client writes.
#include "ModuleFixture.h"

#include "logs/LogBuffer.h"
#include "types/NumericTypes.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <unistd.h>

namespace XLARX::test {
namespace {

using namespace std::chrono_literals;

constexpr uint32_t kSource = 0x10;
constexpr uint32_t kSecond = 0x11;
constexpr uint32_t kEnable = 0x20;
constexpr uint32_t kReset = 0x21;
constexpr uint32_t kModule = 0x100;
constexpr uint32_t kValue1 = kModule + 1;
constexpr uint32_t kTrigger1 = kModule + 17;

class ModulePassTest : public ::testing::Test {
protected:
  void addInputs() {
    f_.addRegister(kSource, 25, "Vln a");
    f_.addRegister(kSecond, 25, "Vln b");
    f_.addRegister(kEnable, 21, "Enable");
    f_.addRegister(kReset, 26, "Reset pulses");
  }

  ModuleFixture f_;
};

TEST_F(ModulePassTest, MinimumOfASteadySourceTriggersOnce) {
  addInputs();
  f_.addExtremum(kModule, 511, {kSource});
  const auto list = f_.buildList();
  EXPECT_TRUE(f_.notAvailable(kValue1));
  f_.setValue(kSource, 5);
  for (int pass = 0; pass < 4; ++pass)
    f_.step(*list);
  EXPECT_EQ(f_.number(kValue1), 5);
  EXPECT_EQ(f_.number(kTrigger1), 1);
  f_.setValue(kSource, 4);
  f_.step(*list);
  f_.setValue(kSource, 6);
  f_.step(*list);
  EXPECT_EQ(f_.number(kValue1), 4);
  EXPECT_EQ(f_.number(kTrigger1), 2);
}

TEST_F(ModulePassTest, ResetRestartsTheMinimumAtTheNextValue) {
  addInputs();
  f_.addExtremum(kModule, 511, {kSource}, 0, kReset);
  const auto list = f_.buildList();
  f_.setValue(kReset, 3);
  f_.setValue(kSource, 2);
  f_.step(*list);
  f_.setValue(kSource, 9);
  f_.step(*list);
  EXPECT_EQ(f_.number(kValue1), 2);
  f_.setValue(kReset, 4); // one pulse
  f_.step(*list);
  EXPECT_EQ(f_.number(kValue1), 9);
  EXPECT_EQ(f_.number(kTrigger1), 2);
}

TEST_F(ModulePassTest, OutputAgesWithItsSource) {
  addInputs();
  f_.addExtremum(kModule, 512, {kSource});
  const auto list = f_.buildList();
  f_.setValue(kSource, 1);
  const uint32_t read = f_.clock().tickNow();
  for (int pass = 0; pass < 5; ++pass)
    f_.step(*list);
  EXPECT_EQ(f_.updateTick(kValue1), read);
  EXPECT_EQ(f_.updateTick(kTrigger1), read + 1000);
}

TEST_F(ModulePassTest, SourceThatReachesTheCacheLaterIsReadFromThenOn) {
  addInputs(); // the source is not mapped: the cache lacks it at first
  f_.addExtremum(kModule, 511, {kSource});
  const auto list = f_.buildList();
  f_.step(*list);
  EXPECT_TRUE(f_.notAvailable(kValue1));
  f_.setValue(kSource, 7);
  f_.step(*list);
  EXPECT_EQ(f_.number(kValue1), 7);
  f_.setValue(kSource, 6);
  f_.step(*list);
  EXPECT_EQ(f_.number(kValue1), 6);
}

TEST_F(ModulePassTest, MaximumSkipsChannelsWithoutNumbers) {
  addInputs();
  f_.addExtremum(kModule, 512, {kSource, kSecond});
  const auto list = f_.buildList();
  f_.setValue(kSource, -3);
  f_.setText(kSecond, "open");
  f_.step(*list);
  f_.setValue(kSource, std::nan(""));
  f_.step(*list);
  EXPECT_EQ(f_.number(kValue1), -3);
  EXPECT_EQ(f_.number(kModule + 2), std::nullopt);
  EXPECT_EQ(f_.number(kModule + 18), 0);
}

TEST_F(ModulePassTest, DisabledModuleComputesNothingAndReleasesItsSources) {
  addInputs();
  f_.mapHandles({kSource});
  f_.addExtremum(kModule, 511, {kSource}, kEnable);
  const auto list = f_.buildList();
  // A mapped source the cache lacked was added to its low-speed group.
  EXPECT_EQ(f_.device()->cache->flagsOf(kSource), kCacheLowSpeed | kCacheRefreshable);
  auto marker = [&] {
    Cache::Access values = f_.device()->cache->access();
    return values.find(kSource)->lowSpeedMarker;
  };
  f_.setValue(kEnable, 0);
  f_.setValue(kSource, 5);
  f_.step(*list);
  EXPECT_EQ(f_.number(kTrigger1), 0);
  EXPECT_EQ(marker(), 0u);
  f_.setValue(kEnable, 1);
  f_.step(*list);
  EXPECT_EQ(f_.number(kValue1), 5);
  EXPECT_EQ(marker(), 1u);
  f_.setValue(kEnable, 0);
  f_.step(*list);
  EXPECT_EQ(marker(), 0u);
}

TEST_F(ModulePassTest, AveragingOfThreeAndFour) {
  const struct {
    const char *mode;
    double expected;
  } cases[] = {{"RMS Mode", std::sqrt(12.5)}, {"Average Mode", 3.5}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.mode);
    ModuleFixture f;
    f.addRegister(kSource, 25, "Vln a");
    f.addAveraging(kModule, {kSource}, c.mode);
    const auto list = f.buildList();
    f.setValue(kSource, 3);
    f.step(*list);
    f.setValue(kSource, 4);
    f.step(*list);
    ASSERT_TRUE(f.number(kValue1));
    EXPECT_DOUBLE_EQ(*f.number(kValue1), c.expected);
  }
}

TEST_F(ModulePassTest, AveragingSamplesOnlyWhenOperateNowPulses) {
  addInputs();
  f_.addRegister(0x22, 26, "Operate");
  f_.addAveraging(kModule, {kSource}, "Average Mode", 0, kReset, 0x22);
  const auto list = f_.buildList();
  f_.setValue(0x22, 0);
  f_.setValue(kReset, 0);
  f_.setValue(kSource, 10);
  f_.step(*list); // sets what the counters were
  f_.step(*list);
  EXPECT_EQ(f_.number(kValue1), std::nullopt);
  f_.setValue(0x22, 1);
  f_.step(*list);
  f_.setValue(kSource, 20);
  f_.step(*list); // no pulse: 20 is not taken
  EXPECT_EQ(f_.number(kValue1), 10);
  f_.setValue(kReset, 1);
  f_.setValue(0x22, 2);
  f_.step(*list); // the reset comes first, then the sample
  EXPECT_EQ(f_.number(kValue1), 20);
}

TEST_F(ModulePassTest, PeriodicTimerFiresAtEveryQuarterHourOfUtc) {
  f_.addPeriodicTimer(kModule, "900u", "Trigger on Sync");
  const auto list = f_.buildList();
  // The clock starts at 1,700,000,000 s, 800 s past a quarter hour.
  f_.pass(*list);
  int fired = 0;
  std::vector<int64_t> firings;
  for (int second = 1; second <= 2000; ++second) {
    f_.step(*list);
    if (f_.number(kModule + 1) != fired) {
      fired = static_cast<int>(*f_.number(kModule + 1));
      firings.push_back(arxmod::unixWholeSeconds(f_.clock().wallNow()));
    }
  }
  EXPECT_EQ(firings, (std::vector<int64_t>{1'700'000'100, 1'700'001'000, 1'700'001'900}));
}

TEST_F(ModulePassTest, PeriodicTimerKeepsToTheLastSync) {
  const struct {
    const char *mode;
    int firedAtSync;
  } cases[] = {{"Trigger on Sync", 1}, {"No Trig on Sync", 0}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.mode);
    ModuleFixture f;
    f.addRegister(0x30, 26, "Sync pulses");
    f.addEventLog(0x70);
    f.addPeriodicTimer(kModule, "900u", c.mode, 0, 0x30);
    std::filesystem::path logs =
        std::filesystem::temp_directory_path() / ("arxmod-pt-" + std::to_string(::getpid()));
    LogBuffer buffer(logs);
    const auto list = f.buildList(&buffer);
    f.setValue(0x30, 1);
    f.step(*list); // first count seen
    f.clock().advance(37s);
    f.setValue(0x30, 2); // sync at 1,700,000,038
    f.pass(*list);
    EXPECT_EQ(f.number(kModule + 1), c.firedAtSync);
    EXPECT_EQ(buffer.GetLogPosition(ModuleFixture::kDevice, 0x70, *f.device()->tree), 1u);
    f.clock().advance(899s);
    f.pass(*list);
    EXPECT_EQ(f.number(kModule + 1), c.firedAtSync);
    f.step(*list);
    EXPECT_EQ(f.number(kModule + 1), c.firedAtSync + 1);
    f.clock().advance(900s);
    f.pass(*list);
    EXPECT_EQ(f.number(kModule + 1), c.firedAtSync + 2);
    buffer.shutdown();
    std::filesystem::remove_all(logs);
  }
}

TEST_F(ModulePassTest, PeriodicTimerRecomputesWhenTheClockGoesBack) {
  f_.addPeriodicTimer(kModule, "60u", "No Trig on Sync");
  const auto list = f_.buildList();
  f_.pass(*list); // at 1,700,000,000: due at the minute, 1,700,000,040
  f_.clock().setWall(arxmod::WallTime(std::chrono::seconds(1'699'999'000)));
  f_.step(*list); // 1000 s back: due at 1,699,999,020, not in 1040 s
  EXPECT_EQ(f_.number(kModule + 1), 0);
  f_.clock().advance(19s);
  f_.pass(*list);
  EXPECT_EQ(f_.number(kModule + 1), 1);
}

TEST_F(ModulePassTest, FeedbackPassesPulsesOnWhileEnabled) {
  addInputs();
  f_.addFeedback(kModule, kReset, kEnable);
  const auto list = f_.buildList();
  f_.setValue(kEnable, 1);
  f_.setValue(kReset, 10);
  f_.step(*list);
  const struct {
    double count;
    double enable;
    double pulses;
  } steps[] = {{11, 1, 1}, {11, 1, 1}, {12, 0, 1}, {13, 1, 2}};
  for (const auto &s : steps) {
    f_.setValue(kReset, s.count);
    f_.setValue(kEnable, s.enable);
    f_.step(*list);
    EXPECT_EQ(f_.number(kModule + 1), s.pulses);
  }
}

TEST_F(ModulePassTest, ExternalModulesTakeClientWritesAndRecordEvents) {
  f_.addExternal(0x100, 544);
  f_.addExternal(0x200, 545);
  f_.addExternal(0x300, 546);
  f_.addEventLog(0x70);
  std::filesystem::path logs =
      std::filesystem::temp_directory_path() / ("arxmod-ext-" + std::to_string(::getpid()));
  LogBuffer buffer(logs);
  const auto list = f_.buildList(&buffer);
  EXPECT_EQ(f_.number(0x101), 0);
  EXPECT_EQ(f_.number(0x201), 0);
  EXPECT_TRUE(f_.notAvailable(0x301));

  arxmod::MemoryBlob blob(256);
  EXPECT_TRUE(list->controlWrite(0x101, *blob.make<arxmod::UnsignedType>(99u)));
  EXPECT_TRUE(list->controlWrite(0x101, *blob.make<arxmod::UnsignedType>(99u)));
  EXPECT_TRUE(list->controlWrite(0x201, *blob.make<arxmod::SignedType>(1)));
  EXPECT_TRUE(list->controlWrite(0x301, *blob.make<arxmod::Float64Type>(42.5)));
  EXPECT_FALSE(list->controlWrite(0x102, *blob.make<arxmod::SignedType>(1)));
  EXPECT_THROW(list->controlWrite(0x301, *arxmod::makeString(blob, "many")), ControlWriteRefused);
  EXPECT_EQ(f_.number(0x101), 2);
  EXPECT_EQ(f_.number(0x201), 1);
  EXPECT_EQ(f_.number(0x301), 42.5);
  EXPECT_EQ(buffer.GetLogPosition(ModuleFixture::kDevice, 0x70, *f_.device()->tree), 4u);
  const std::string event = f_.text(0x302);
  EXPECT_NE(event.find("Wrote Control Action"), std::string::npos) << event;
  EXPECT_NE(event.find("42.5"), std::string::npos) << event;
  buffer.shutdown();
  std::filesystem::remove_all(logs);
}

TEST_F(ModulePassTest, DiagnosticsPublishesTheStatisticsByName) {
  auto &module = f_.addModule(kModule, 525, "DIA", {}, {});
  f_.addRegister(kModule + 1, 23, "DIA NumCalcSecDevice");
  f_.addRegister(kModule + 2, 23, "DIA CalcThreadID");
  f_.addRegister(kModule + 3, 23, "DIA Uptime");
  module.setOutputs(std::vector<uint32_t>{kModule + 1, kModule + 2, kModule + 3});
  const auto list = f_.buildList();
  CalcStatistics statistics;
  statistics.device.numCalcSec = 12;
  statistics.thread.calcThreadId = 2;
  std::lock_guard guard(list->lock());
  list->computeLocked({1.0, 1000, &statistics},
                      [](const SPXP_ModuleBase &, const std::string &) { ADD_FAILURE(); });
  EXPECT_EQ(f_.number(kModule + 1), 12);
  EXPECT_EQ(f_.number(kModule + 2), 2);
  EXPECT_EQ(f_.number(kModule + 3), std::nullopt);
}

TEST(CalcStatistics, NoNameIsPartOfAnother) {
  for (const std::string_view a : statisticNames())
    for (const std::string_view b : statisticNames())
      if (a != b) {
        EXPECT_EQ(b.find(a), std::string_view::npos) << a << " in " << b;
      }
}

} // namespace
} // namespace XLARX::test
