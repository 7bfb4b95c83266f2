// The calculation engines on the test clock: how many there are, which
// engine gets a device, ticks that run the modules, replaced and removed
// devices, the host view of disabled devices, try-lock budgets and the
// statistics they keep.
#include "ModuleFixture.h"
#include "TempHostDatabase.h"

#include "modules/EnginePool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace XLARX::test {
namespace {

using namespace std::chrono_literals;

constexpr auto kWait = 10s; // real time for an engine to finish a tick it was woken for
constexpr uint32_t kSource = 0x10;
constexpr uint32_t kMinimum = 0x101;

CalculationEnginePool::Options engines(uint32_t count, DeviceEnabledLookup enabled = {}) {
  CalculationEnginePool::Options options;
  options.threadSetting = [count] { return std::to_string(count); };
  options.deviceEnabled =
      enabled ? std::move(enabled) : DeviceEnabledLookup([](uint32_t, bool) { return true; });
  return options;
}

// True once `condition` holds, within kWait of real time (for what an
// engine does in the middle of a tick).
template <typename Condition> bool eventually(Condition condition) {
  const auto deadline = std::chrono::steady_clock::now() + kWait;
  while (!condition())
    if (std::chrono::steady_clock::now() > deadline)
      return false;
    else
      std::this_thread::yield();
  return true;
}

// A device with a Minimum module over one source.
struct MinimumDevice {
  MinimumDevice(uint32_t id, arxmod::ManualClock &clock) : f(id, &clock) {
    f.addRegister(kSource, 25, "Vln a");
    f.addExtremum(0x100, 511, {kSource});
    list = f.buildList();
  }
  ModuleFixture f;
  arxmod::IRefPtr<SPXP_ModuleList> list;
};

TEST(CalculationThreads, CountFromTheHostSettingOrTheProcessors) {
  const struct {
    std::optional<std::string> setting;
    uint32_t processors;
    uint32_t expected;
  } cases[] = {
      {"8", 4, 8},          {"0", 4, 4},   {"40", 4, 4}, {"40", 64, 32},
      {std::nullopt, 6, 6}, {"abc", 2, 2}, {"8 ", 2, 2}, {"-3", 2, 2},
      {"1", 2, 1},          {"32", 2, 32}, {"33", 2, 2}, {std::nullopt, 0, 1},
  };
  for (const auto &c : cases) {
    SCOPED_TRACE(c.setting.value_or("(none)") + " with " + std::to_string(c.processors));
    EXPECT_EQ(calculationThreadCount(c.setting, c.processors), c.expected);
  }
  EXPECT_GE(affinityProcessorCount(), 1u);
}

TEST(CalculationThreads, PoolReadsTheHostSetting) {
  arxmod::ManualClock clock;
  arxmod::ScopedClock use(clock);
  arxmod::test::TempHostDatabase database;
  const struct {
    const char *value;
    uint32_t expected;
  } cases[] = {{"3", 3}, {"0", affinityProcessorCount()}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.value);
    database.exec(std::string("INSERT OR REPLACE INTO HostSetting VALUES "
                              "('NumFieldhubCalculationThreads', '") +
                  c.value + "')");
    MinimumDevice device(1, clock);
    CalculationEnginePool pool;
    EXPECT_EQ(pool.engineCount(), 0u); // started on first use
    pool.addDevice(device.f.kernel(device.list));
    EXPECT_EQ(pool.engineCount(), std::min(c.expected, kMaxCalculationThreads));
  }
}

TEST(CalculationEngines, TicksRunTheModulesOncePerSecond) {
  arxmod::ManualClock clock;
  arxmod::ScopedClock use(clock);
  MinimumDevice device(1, clock);
  CalculationEnginePool pool(engines(2));
  device.f.setValue(kSource, 50);
  pool.addDevice(device.f.kernel(device.list));
  // The first tick is due at once.
  ASSERT_TRUE(pool.awaitDevicePasses(1, 1, kWait));
  EXPECT_EQ(device.f.number(kMinimum), 50);
  device.f.setValue(kSource, 40);
  EXPECT_EQ(device.f.number(kMinimum), 50);
  clock.advance(1000ms);
  ASSERT_TRUE(pool.awaitDevicePasses(1, 2, kWait));
  EXPECT_EQ(device.f.number(kMinimum), 40);

  const auto statistics = pool.deviceStatistics(1);
  ASSERT_TRUE(statistics);
  EXPECT_EQ(statistics->numCalcSec, 2u);
  EXPECT_EQ(statistics->numCritEnters, 2u);
  EXPECT_EQ(statistics->numTryEnterFails, 0u);
  const ThreadCalcStatistics thread = pool.threadStatistics()[0];
  EXPECT_EQ(thread.calcThreadId, 1u);
  EXPECT_EQ(thread.numCalcThreads, 2u);
  EXPECT_EQ(thread.numDevicesThisThread, 1u);
  EXPECT_EQ(thread.numCritEnters, 2u);
  EXPECT_EQ(thread.lastCalcTimeStamp, arxmod::unixSeconds(clock.wallNow()));
}

TEST(CalculationEngines, DeviceGoesToTheLeastLoadedEngineAndStaysThere) {
  arxmod::ManualClock clock;
  arxmod::ScopedClock use(clock);
  std::vector<std::unique_ptr<MinimumDevice>> devices;
  for (uint32_t id = 1; id <= 4; ++id)
    devices.push_back(std::make_unique<MinimumDevice>(id, clock));
  CalculationEnginePool pool(engines(2));
  auto add = [&](uint32_t id) { pool.addDevice(devices[id - 1]->f.kernel(devices[id - 1]->list)); };
  add(1);
  add(2);
  add(3);
  EXPECT_EQ(pool.engineNumberOf(1), 1u);
  EXPECT_EQ(pool.engineNumberOf(2), 2u);
  EXPECT_EQ(pool.engineNumberOf(3), 1u);
  add(2); // a reload keeps its engine
  EXPECT_EQ(pool.engineNumberOf(2), 2u);
  pool.removeDevice(1);
  EXPECT_EQ(pool.engineNumberOf(1), 0u);
  add(4); // both engines have one: the first
  EXPECT_EQ(pool.engineNumberOf(4), 1u);
}

TEST(CalculationEngines, ReplacedEntryTakesOverAtTheNextTickWithItsStatistics) {
  arxmod::ManualClock clock;
  arxmod::ScopedClock use(clock);
  MinimumDevice first(1, clock);
  MinimumDevice second(1, clock);
  CalculationEnginePool pool(engines(1));
  first.f.setValue(kSource, 10);
  second.f.setValue(kSource, 20);
  pool.addDevice(first.f.kernel(first.list));
  ASSERT_TRUE(pool.awaitDevicePasses(1, 1, kWait));
  pool.addDevice(second.f.kernel(second.list));
  EXPECT_TRUE(second.f.notAvailable(kMinimum));
  first.f.setValue(kSource, 5);
  clock.advance(1000ms);
  ASSERT_TRUE(pool.awaitDevicePasses(1, 2, kWait));
  EXPECT_EQ(first.f.number(kMinimum), 10);
  EXPECT_EQ(second.f.number(kMinimum), 20);

  pool.removeDevice(1);
  second.f.setValue(kSource, 1);
  clock.advance(1000ms);
  EXPECT_FALSE(pool.awaitDevicePasses(1, 3, 100ms));
  EXPECT_EQ(second.f.number(kMinimum), 20);
}

TEST(CalculationEngines, DisabledDeviceIsSkippedFromTheNextHostViewOn) {
  arxmod::ManualClock clock;
  arxmod::ScopedClock use(clock);
  MinimumDevice device(1, clock);
  std::atomic<bool> enabled{true};
  std::atomic<int> rechecks{0};
  CalculationEnginePool pool(engines(1, [&](uint32_t, bool recheck) {
    rechecks += recheck ? 1 : 0;
    return enabled.load();
  }));
  pool.addDevice(device.f.kernel(device.list));
  ASSERT_TRUE(pool.awaitDevicePasses(1, 1, kWait));
  enabled = false;
  // The view is read again at the 32nd tick: ticks 2 to 31 still run the device.
  for (uint64_t tick = 2; tick <= 31; ++tick) {
    clock.advance(1000ms);
    ASSERT_TRUE(pool.awaitDevicePasses(1, tick, kWait)) << tick;
  }
  clock.advance(1000ms);
  // The engine counts the 32nd tick, which passes the device by.
  EXPECT_TRUE(eventually([&] { return pool.threadStatistics()[0].numCalcSec == 32; }));
  EXPECT_EQ(pool.deviceStatistics(1)->numCalcSec, 31u);
  EXPECT_EQ(rechecks.load(), 2);
}

TEST(CalculationEngines, DatabaseTellsDisabledDevicesAndPorts) {
  arxmod::test::TempHostDatabase database;
  database.exec(R"sql(
    INSERT INTO Translator VALUES (1, 'MX4110_4120', 0, 'mx4110_4120.so');
    INSERT INTO DeviceType VALUES (1, 'MX4110', 1, 'mx.xml');
    INSERT INTO Port VALUES (1, 'COM1', NULL, 1, NULL), (2, 'COM2', NULL, 0, NULL);
    INSERT INTO Device (ID, Name, DeviceTypeID, PortID, Enabled)
      VALUES (10, 'On', 1, 1, 1), (11, 'Port off', 1, 2, 1), (12, 'Off', 1, 1, 0),
             (13, 'No port', 1, NULL, 1);
  )sql");
  const struct {
    uint32_t id;
    bool enabled;
  } cases[] = {{10, true}, {11, false}, {12, false}, {13, true}, {99, true}};
  for (const auto &c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(databaseDeviceEnabled(c.id, true), c.enabled);
  }
}

TEST(CalculationEngines, BusyDeviceSpendsItsTryLocksThenIsWaitedFor) {
  arxmod::ManualClock clock;
  arxmod::ScopedClock use(clock);
  MinimumDevice busy(1, clock);
  MinimumDevice other(2, clock);
  // An engine without its thread: the first tick runs here, so that both
  // devices are active before the busy one is held.
  CalculationEngine engine(1, 1, [](uint32_t, bool) { return true; });
  engine.addDevice(busy.f.kernel(busy.list));
  engine.addDevice(other.f.kernel(other.list));
  engine.runTick();
  std::unique_lock held(busy.list->lock());
  clock.advance(1000ms);
  std::thread tick([&] { engine.runTick(); });
  // Each sweep of the tick computes every undone device, so by the time the
  // busy device's tries are spent the other one has had its pass.
  EXPECT_TRUE(eventually(
      [&] { return engine.threadStatistics().numTryEnterFails == KernelInfo::kTryLockBudget; }));
  EXPECT_EQ(engine.deviceStatistics(2).value_or(DeviceCalcStatistics{}).numCalcSec, 2u);
  EXPECT_EQ(engine.completedTicks(), 1u); // the busy device is waited for
  held.unlock();
  tick.join();
  const ThreadCalcStatistics thread = engine.threadStatistics();
  EXPECT_EQ(thread.numTryEnterFails, KernelInfo::kTryLockBudget);
  EXPECT_EQ(thread.numCritBlocks, 1u);
  const DeviceCalcStatistics device = engine.deviceStatistics(1).value_or(DeviceCalcStatistics{});
  EXPECT_EQ(device.numCalcSec, 2u);
  EXPECT_EQ(device.numTryEnterFails, KernelInfo::kTryLockBudget);
}

// A module whose pass fails while `failing` is set.
class FailingModule final : public SPXP_ModuleBase {
public:
  FailingModule(const arxmod::ModuleObj &module, arxmod::IRefPtr<ModuleDevice> device,
                std::atomic<bool> &failing)
      : SPXP_ModuleBase(module, std::move(device)), failing_(failing) {}
  void compute(const CalcPass &) override {
    if (failing_)
      throw arxmod::KSXmsg("sensor lost");
  }

private:
  std::atomic<bool> &failing_;
};

TEST(CalculationEngines, FailingModuleIsReportedOnceUntilItRecovers) {
  arxmod::test::TempHostDatabase database;
  arxmod::ManualClock clock;
  arxmod::ScopedClock use(clock);
  MinimumDevice device(1, clock);
  std::atomic<bool> failing{true};
  const arxmod::ModuleObj broken(0x300, 525, ModuleFixture::kManager, "Broken");
  device.list->append(arxmod::makeRef<FailingModule>(broken, device.f.device(), failing));
  device.list->order(*device.f.device()->tree);
  device.f.setValue(kSource, 3);
  CalculationEnginePool pool(engines(1));
  pool.addDevice(device.f.kernel(device.list));
  for (uint64_t pass = 1; pass <= 5; ++pass) {
    SCOPED_TRACE(pass);
    failing = pass != 4;
    if (pass > 1)
      clock.advance(1000ms);
    ASSERT_TRUE(pool.awaitDevicePasses(1, pass, kWait));
  }
  EXPECT_EQ(device.f.number(kMinimum), 3); // the other module ran
  EXPECT_EQ(database.count("SELECT COUNT(*) FROM SystemLog WHERE Text = 'Calculation thread 1: "
                           "virtual module 0x300 of device 1 failed: sensor lost'"),
            2);
}

TEST(CalculationEngines, StoppedPoolStartsAgainOnNextUse) {
  arxmod::ManualClock clock;
  arxmod::ScopedClock use(clock);
  MinimumDevice device(1, clock);
  CalculationEnginePool pool(engines(2));
  pool.addDevice(device.f.kernel(device.list));
  ASSERT_TRUE(pool.awaitDevicePasses(1, 1, kWait));
  pool.stop();
  EXPECT_EQ(pool.engineCount(), 0u);
  EXPECT_FALSE(pool.deviceStatistics(1));
  pool.addDevice(device.f.kernel(device.list));
  EXPECT_EQ(pool.engineCount(), 2u);
  EXPECT_TRUE(pool.awaitDevicePasses(1, 1, kWait));
}

} // namespace
} // namespace XLARX::test
