// A Minimum module through the real plug-in and the simulated meter, with
// the plug-in's calculation threads running in real time (its clock cannot
// be stepped from here): the lowest value seen across several calls.
#include "MeterPlugin.h"
#include "ModuleFixture.h"

#include <gtest/gtest.h>

#include <thread>

namespace arxmod::test {
namespace {

using namespace std::chrono_literals;
using sim::RegisterBank;
using sim::Table;

constexpr uint32_t kVolts = 0x10;
constexpr uint32_t kMinimum = 0x201;
// A calculation thread runs every second; this is ample for one more pass.
constexpr auto kPassWait = 5s;

TEST(ModulePlugin, MinimumOfAMeterValueAcrossCalls) {
  sim::SimulatedMeter meter;
  meter.addUnit(1);
  sim::SimExchange exchange(meter, 1);
  auto setVolts = [&](uint16_t volts) {
    meter.withUnit(1, [&](RegisterBank &bank) {
      bank.map(Table::HoldingRegisters, 0, 4);
      bank.set(Table::HoldingRegisters, 1, volts);
    });
  };
  XLARX::test::ModuleFixture tree;
  tree.addRegister(kVolts, 25, "Vln a");
  tree.addExtremum(0x200, 511, {kVolts});
  const uint16_t device = meterDevices().add(
      tree.objects(), "<ModbusInfo ARXHandle='16' Name='Vln a' ModbusAddress='400002' "
                      "RequestType='R' Format='UINT16'/><CalcInfo ARXHandle='512'/>");
  auto read = [&](uint32_t handle) {
    return callProgram(pluginProcess(), exchange, device, {{handle, 21}}).results.at(0);
  };
  // The minimum once a calculation thread has seen what the meter holds.
  auto minimumBecomes = [&](const std::string &expected) {
    const auto deadline = std::chrono::steady_clock::now() + kPassWait;
    std::string minimum = read(kMinimum);
    while (minimum != expected && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(50ms);
      minimum = read(kMinimum);
    }
    return minimum;
  };

  const struct {
    uint16_t volts;
    const char *minimum;
  } steps[] = {{50, "50"}, {40, "40"}, {45, "40"}, {47, "40"}, {35, "35"}};
  for (const auto &s : steps) {
    SCOPED_TRACE(s.volts);
    setVolts(s.volts);
    // A client's read of the source asks the meter and stores the reply in
    // the cache the module reads.
    ASSERT_EQ(read(kVolts), std::to_string(s.volts));
    EXPECT_EQ(minimumBecomes(s.minimum), s.minimum);
  }
  // A value above the minimum leaves it alone for more than one pass.
  std::this_thread::sleep_for(1500ms);
  EXPECT_EQ(read(kMinimum), "35");
  EXPECT_EQ(read(kMinimum + 16), "3u"); // triggers: 50, 40, 35
}

} // namespace
} // namespace arxmod::test
