// MeterTranslatorFixture: whole Process calls through the MX4110_4120
// translator linked into this test program, against unit 1 of the
// simulated meter with the meter's own behaviour (sim/MeterBehaviour.h),
// on a JumpClock, so that the command procedure's waits take no time and
// the time rules can be stepped through exactly.
//
// The device tree: module 0x100 with the lead/lag register 0x0B200006
// (a String_Register) and the per-phase registers 0x09D00001 "Current
// Phase A" and 0x0A20000A "Voltage Phase BN", mapped by kMeterMap.
//
//   const uint16_t device = addMeterDevice("Feeder 7");
//   Answer answer = run(device, {{XLARX::kOutputAssignmentHandle, 22, do1}});
#pragma once

#include "AccessLog.h"
#include "JumpClock.h"
#include "MeterCalls.h"
#include "sim/MeterBehaviour.h"

#include <gtest/gtest.h>

#include <memory>

namespace arxmod::test {

// The map of the fixture's device (the map's own TimeSyncInterval comes first).
std::string meterMap(const std::string &deviceInfo = "");

class MeterTranslatorFixture : public ::testing::Test {
protected:
  MeterTranslatorFixture();

  // A new device with the fixture's tree and map; `customProperty1` goes
  // into its host configuration row.
  uint16_t addMeterDevice(const std::string &name = "meter", const std::string &deviceInfo = "",
                          const std::string &customProperty1 = "");
  Answer run(uint16_t device, const std::vector<Invocation> &program);

  // Replaces unit 1 by a meter with `options`, its command registers logged.
  void resetMeter(sim::MeterOptions options = {});
  // Runs `work` on the meter's bank under its lock.
  void withMeter(const std::function<void(sim::RegisterBank &)> &work) { meter_.withUnit(1, work); }
  void inject(const std::string &fault);
  uint64_t meterRequests() const { return meter_.requestCount(1); }
  // The traffic of the command block and result registers.
  std::vector<LoggedAccess> commandTraffic();

  sim::SimulatedMeter &meter() { return meter_; }
  sim::MeterBehaviour &behaviour() { return *behaviour_; }
  JumpClock &clock() { return clock_; }

private:
  JumpClock clock_;
  ScopedClock useClock_{clock_};
  sim::SimulatedMeter meter_;
  sim::SimExchange exchange_{meter_, 1};
  std::shared_ptr<sim::MeterBehaviour> behaviour_;
  std::shared_ptr<AccessLog> commands_;
};

} // namespace arxmod::test
