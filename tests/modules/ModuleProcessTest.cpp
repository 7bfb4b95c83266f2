// Virtual modules through whole Process calls of the translator chain
// linked into this program, against the simulated meter, with the engines
// ticking on the test clock: module outputs read like meter values, client
// writes reaching the external modules, and refused modules leaving the
// device's meter values served.
#include "MeterFixture.h"
#include "ModuleFixture.h"

#include "modules/EnginePool.h"
#include "types/NumericTypes.h"

#include <gmock/gmock.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

namespace arxmod::test {
namespace {

using namespace std::chrono_literals;
using sim::RegisterBank;
using sim::Table;

constexpr uint32_t kVolts = 0x10;    // the meter's holding register 1
constexpr uint32_t kMinimum = 0x201; // the Minimum module's first channel
constexpr uint32_t kTrigger = 0x211; // and its trigger counter
constexpr uint32_t kNumber = 0x301;  // the external numeric module's register
constexpr auto kWait = 10s;          // real time for an engine to finish a tick

const std::string kMap = "<ModbusInfo ARXHandle='16' Name='Vln a' ModbusAddress='400002' "
                         "RequestType='R' Format='UINT16'/>";

class ModuleProcessTest : public MeterFixture {
protected:
  ModuleProcessTest() {
    meter().withUnit(1, [](RegisterBank &bank) { bank.map(Table::HoldingRegisters, 0, 4); });
    setVolts(50);
  }
  // The engines wait on this fixture's clock: they stop before it goes.
  void TearDown() override { stopCalculationEngines(); }

  void setVolts(uint16_t volts) {
    meter().withUnit(1, [&](RegisterBank &bank) { bank.set(Table::HoldingRegisters, 1, volts); });
  }
  // One second on the test clock, and the engine's pass of `device` that it starts.
  void tick(uint16_t device) {
    XLARX::CalculationEnginePool &pool = XLARX::CalculationEnginePool::instance();
    const auto before = pool.deviceStatistics(device);
    clock().advance(1000ms);
    ASSERT_TRUE(pool.awaitDevicePasses(device, before ? before->numCalcSec + 1 : 1, kWait));
  }
  std::string read(uint16_t device, uint32_t handle) {
    return run(device, {{handle, 21}}).results.at(0);
  }
  // Replaces the map file of `device` (MeterCalls names it map<N>.xml) in
  // one step, as calls for the device may read it at the same time: a new
  // file, one second newer, renamed over the old one.
  void replaceMap(uint16_t device, const std::string &body) {
    const auto path =
        meterDevices().database().translatorDirectory() / ("map" + std::to_string(device) + ".xml");
    auto next = path;
    next += ".new";
    std::ofstream(next, std::ios::binary | std::ios::trunc) << mapDocument(body);
    std::filesystem::last_write_time(next, std::filesystem::last_write_time(path) + 1s);
    std::filesystem::rename(next, path);
  }
};

TEST_F(ModuleProcessTest, MinimumOfAMeterValueFollowsTheCalls) {
  XLARX::test::ModuleFixture tree(1, &clock());
  tree.addRegister(kVolts, 25, "Vln a");
  tree.addExtremum(0x200, 511, {kVolts});
  const uint16_t device = addDevice(tree.objects(), kMap + "<CalcInfo ARXHandle='512'/>");

  // The first call's refresh reads the source, which the module put into
  // the cache; the engine started with it makes its first pass at once,
  // before or after the reply was stored, so the minimum is either not
  // available yet or already the first value.
  EXPECT_THAT(read(device, kMinimum), ::testing::AnyOf("ExceptionType { 5u void }", "50"));
  tick(device);
  tick(device);
  EXPECT_EQ(read(device, kMinimum), "50");
  const struct {
    uint16_t volts;
    const char *minimum;
    const char *triggers;
  } steps[] = {{40, "40", "2u"}, {45, "40", "2u"}, {30, "30", "3u"}};
  for (const auto &s : steps) {
    SCOPED_TRACE(s.volts);
    setVolts(s.volts);
    // A client's read of the source asks the meter and stores the reply.
    EXPECT_EQ(read(device, kVolts), std::to_string(s.volts));
    tick(device);
    EXPECT_EQ(read(device, kMinimum), s.minimum);
    EXPECT_EQ(read(device, kTrigger), s.triggers);
  }
}

TEST_F(ModuleProcessTest, ClientWritesReachTheExternalModule) {
  XLARX::test::ModuleFixture tree(1, &clock());
  tree.addRegister(kVolts, 25, "Vln a");
  tree.addExternal(0x300, 546);
  const uint16_t device = addDevice(tree.objects(), kMap + "<CalcInfo ARXHandle='768'/>");
  auto number = [](MemoryBlob &blob) -> PICType * { return blob.make<Float64Type>(42.5); };
  auto text = [](MemoryBlob &blob) -> PICType * { return makeString(blob, "many"); };
  const Answer answer = run(device, {{kNumber, 22, number}, {kNumber, 21}, {kNumber, 22, text}});
  ASSERT_EQ(answer.results.size(), 3u);
  EXPECT_EQ(answer.results[0], "true");
  EXPECT_EQ(answer.results[1], "42.5");
  EXPECT_EQ(answer.results[2].rfind("ExceptionType { 3u", 0), 0u) << answer.results[2];
  // A register no module handles is answered as before.
  EXPECT_EQ(run(device, {{0x302, 22, number}}).results.at(0), "ExceptionType { 4u void }");
}

TEST_F(ModuleProcessTest, RefusedModulesLeaveTheMeterValuesServed) {
  XLARX::test::ModuleFixture tree(1, &clock());
  tree.addRegister(kVolts, 25, "Vln a");
  tree.addExtremum(0x200, 511, {0x301});
  tree.addExtremum(0x300, 511, {0x201});
  const uint16_t device =
      addDevice(tree.objects(), kMap + "<CalcInfo ARXHandle='512'/><CalcInfo ARXHandle='768'/>");
  EXPECT_FALSE(run(device, {{kVolts, 21}}).processed);
  EXPECT_EQ(read(device, kVolts), "50");
  EXPECT_EQ(XLARX::CalculationEnginePool::instance().engineNumberOf(device), 0u);
}

TEST_F(ModuleProcessTest, ConcurrentCallsAndEnginesWithMapsReplacedBetweenCalls) {
  // Two devices with a minimum, an average and an external number each.
  std::vector<uint16_t> devices;
  std::vector<std::unique_ptr<XLARX::test::ModuleFixture>> trees;
  const std::string calculated =
      "<CalcInfo ARXHandle='512'/><CalcInfo ARXHandle='1024'/><CalcInfo ARXHandle='768'/>";
  for (int i = 0; i < 2; ++i) {
    auto &tree = *trees.emplace_back(std::make_unique<XLARX::test::ModuleFixture>(1, &clock()));
    tree.addRegister(kVolts, 25, "Vln a");
    tree.addExtremum(0x200, 511, {kVolts});
    tree.addAveraging(0x400, {kVolts}, "Average Mode");
    tree.addExternal(0x300, 546);
    devices.push_back(addDevice(tree.objects(), kMap + calculated));
  }
  std::atomic<bool> done{false};
  std::thread stepper([&] {
    while (!done) {
      clock().advance(1000ms);
      std::this_thread::yield();
    }
  });
  auto calls = [&](int first) {
    auto number = [](MemoryBlob &blob) -> PICType * { return blob.make<Float64Type>(7.0); };
    for (int round = 0; round < 60; ++round) {
      const uint16_t device = devices[(first + round) % 2];
      const Answer answer =
          run(device, {{kVolts, 21}, {kMinimum, 21}, {0x401, 21}, {kNumber, 22, number}});
      ASSERT_EQ(answer.results.size(), 4u);
      EXPECT_EQ(answer.results[0], "50");
    }
  };
  std::thread replacer([&] {
    // A map changed in a way that needs no other answers: the cache and
    // the modules are built anew at the next call.
    for (int round = 0; round < 20; ++round)
      replaceMap(devices[round % 2], kMap + calculated + "<DeviceInfo LowSpeedUpdateRate='" +
                                         std::to_string(30 + round) + "'/>");
  });
  std::thread first(calls, 0);
  std::thread second(calls, 1);
  std::thread third(calls, 1);
  replacer.join();
  first.join();
  second.join();
  third.join();
  done = true;
  stepper.join();
  for (const uint16_t device : devices) {
    SCOPED_TRACE(device);
    // This call builds what the last map change asks for and reads the source.
    EXPECT_EQ(read(device, kVolts), "50");
    tick(device);
    tick(device);
    EXPECT_EQ(read(device, kMinimum), "50");
    EXPECT_EQ(read(device, 0x401), "50");
  }
}

} // namespace
} // namespace arxmod::test
