// The sample meter behind the sample tree and map, read through the
// translator chain on a stepped clock: plausible values that agree with
// each other, energies that count up by the power times the time, a power
// factor that swings between lagging and leading (also in the meter's
// lead/lag form), and currents that stay put when the CT primary changes.
#include "sim/SampleMeter.h"
#include "MeterCalls.h"
#include "sim/SimulatedMeter.h"

#include "base/Clock.h"
#include "files/FileManager.h"
#include "frame/EngineSelection.h"
#include "frame/ProcessCall.h"
#include "logs/LogBuffer.h"
#include "logs/LogBufferSaveThread.h"
#include "modules/EnginePool.h"
#include "translator/ModbusTranslator.h"

#include <cmath>
#include <gtest/gtest.h>
#include <map>

namespace arxmod::test {
namespace {

// The power factor in the meter's lead/lag form (0 to 1 lag, 1 to 2 lead).
constexpr uint32_t kLeadLag = 0x0B200006;

class SampleMeterTest : public ::testing::Test {
protected:
  SampleMeterTest() {
    // The sample map's data recorder writes its log in the data directory.
    const TempHostDatabase &database = meterDevices().database();
    database.exec("DELETE FROM HostSetting WHERE Name='DataDirectory'");
    database.exec("INSERT INTO HostSetting VALUES('DataDirectory','" +
                  (database.directory() / "data").string() + "')");
    FileManager::instance().setRecheckInterval(0);
    installDeviceTranslatorMaker(&XLARX::makeModbusTranslator);
    meter_.addUnit(1, sim::addSampleMeter);
    const std::filesystem::path examples = ARXMOD_EXAMPLES_DIR;
    device_ = meterDevices().addFiles(examples / "tree.xml", examples / "map.xml", "Feeder 7");
    tick();
  }
  // The sample map's modules run on calculation threads, and its data
  // recorder's log is saved by a thread, both waiting on this test's
  // clock: they stop before it goes.
  ~SampleMeterTest() override {
    stopCalculationEngines();
    XLARX::LogBuffer::instance().saveThread().stop();
  }

  // One second of the meter's time.
  void tick(std::chrono::seconds step = std::chrono::seconds(1)) {
    clock_.advance(step);
    meter_.tick(clock_.wallNow());
  }
  // The values of `handles`, read in one call.
  std::map<uint32_t, double> read(const std::vector<uint32_t> &handles) {
    std::vector<Invocation> program;
    for (const uint32_t handle : handles)
      program.push_back({handle, 21});
    const Answer answer = callProgram(&processCall, exchange_, device_, program);
    EXPECT_TRUE(answer.processed);
    std::map<uint32_t, double> values;
    for (size_t i = 0; i < handles.size() && i < answer.results.size(); ++i)
      values[handles[i]] = std::stod(answer.results[i]);
    EXPECT_EQ(values.size(), handles.size()) << "the call answered " << answer.results.size();
    return values;
  }

  ManualClock clock_;
  ScopedClock useClock_{clock_};
  sim::SimulatedMeter meter_;
  sim::SimExchange exchange_{meter_, 1};
  uint16_t device_ = 0;
};

TEST_F(SampleMeterTest, ServesPlausibleValuesThatAgreeWithEachOther) {
  auto v = read({272, 273, 274, 275, 276, 277, 278, 279, 280, 281, 282, 283, 284, 285, 286, 287,
                 288, 289, 294});
  struct Range {
    uint32_t handle;
    double low, high;
  };
  const Range ranges[] = {{272, 220, 240}, {273, 220, 240}, {274, 220, 240}, {275, 380, 420},
                          {276, 380, 420}, {277, 380, 420}, {278, 50, 150},  {279, 50, 150},
                          {280, 50, 150},  {281, 0, 30},    {285, 30, 110},  {289, 49.9, 50.1},
                          {294, 20, 50}};
  for (const Range &range : ranges) {
    SCOPED_TRACE(range.handle);
    EXPECT_GE(v[range.handle], range.low);
    EXPECT_LE(v[range.handle], range.high);
  }
  const double pf = std::abs(v[288]);
  EXPECT_GE(pf, 0.89);
  EXPECT_LE(pf, 1.0);
  for (int p = 0; p < 3; ++p) {
    SCOPED_TRACE(p);
    // Line to line is sqrt(3) times line to neutral; a phase's power is V x I x PF.
    EXPECT_NEAR(v[275 + p] / v[272 + p], std::sqrt(3.0), 0.02);
    EXPECT_NEAR(v[282 + p], v[272 + p] * v[278 + p] * pf / 1000.0, 0.02 * v[282 + p]);
  }
  EXPECT_NEAR(v[285], v[282] + v[283] + v[284], 0.001 * v[285]);
  EXPECT_NEAR(v[287], std::hypot(v[285], v[286]), 0.005 * v[287]);
}

TEST_F(SampleMeterTest, CountsEnergyUpAndSwingsThePowerFactorBetweenLagAndLead) {
  bool lagging = false;
  bool leading = false;
  double kwhBefore = read({290}).at(290);
  for (int minute = 0; minute < 4; ++minute) {
    double kwSum = 0;
    for (int second = 0; second < 60; ++second) {
      tick();
      kwSum += read({285}).at(285);
    }
    const auto v = read({288, 290, kLeadLag});
    lagging = lagging || v.at(288) > 0;
    leading = leading || v.at(288) < 0;
    // The lead/lag register holds the same power factor: as it is while
    // lagging, 2 - |pf| while leading (within the 15-bit resolution of 288).
    const double pf = std::abs(v.at(288));
    EXPECT_NEAR(v.at(kLeadLag), v.at(288) < 0 ? 2.0 - pf : pf, 1e-4) << "minute " << minute;
    // Watt-hours of the minute: the mean power times 1/60 h, within the
    // 1 Wh resolution of the register.
    EXPECT_NEAR(v.at(290) - kwhBefore, kwSum / 60.0 / 60.0, 0.002) << "minute " << minute;
    kwhBefore = v.at(290);
  }
  EXPECT_TRUE(lagging);
  EXPECT_TRUE(leading);
}

TEST_F(SampleMeterTest, KeepsTheAmperesWhenTheCtPrimaryChanges) {
  const double before = read({278}).at(278);
  meter_.withUnit(1, [](sim::RegisterBank &bank) {
    bank.set(sim::Table::HoldingRegisters, 2003, 800); // 402004 CT Prim
  });
  // The CT primary is a cached setup: it is read again after its period.
  tick(std::chrono::seconds(11));
  const auto v = read({259, 278});
  EXPECT_EQ(v.at(259), 800);
  EXPECT_NEAR(v.at(278), before, 0.1 * before);
}

} // namespace
} // namespace arxmod::test
