// MeterFixture: whole Process calls through the translator chain linked
// into this test program, against the simulated meter (unit 1) behind the
// exchange callback, on a manual clock. Devices and answers are those of
// MeterCalls.h.
//
//   const uint16_t device = addDevice(tree, "<ModbusInfo .../>");
//   meter().withUnit(1, [](RegisterBank &bank) { bank.set(Table::HoldingRegisters, 99, 1234); });
//   Answer answer = run(device, {{0x101, 21}});     // answer.results[0] == "123.4"
#pragma once

#include "MeterCalls.h"
#include "base/Clock.h"
#include "tree/ObjList.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>

namespace arxmod::test {

// Makes ModbusInfo elements named "r<handle>" whose RequestType is
// `requestType` unless `extra` gives one:
//   const ModbusEntries entry{"R"};
//   entry(0x101, "400101", "UINT16", "Scale='10'")
struct ModbusEntries {
  std::string requestType;
  std::string operator()(uint32_t handle, const std::string &address, const std::string &format,
                         const std::string &extra = "", const std::string &children = "") const;
};

// Module 0x100 ("Power Meter") with one register "r<handle>" per (handle,
// class) pair.
IRefPtr<ObjList> powerMeterRegisters(std::initializer_list<std::pair<uint32_t, uint32_t>> handles);

class MeterFixture : public ::testing::Test {
protected:
  MeterFixture();

  uint16_t addDevice(const ObjList &tree, const std::string &mapBody,
                     const std::string &name = "meter") {
    return meterDevices().add(tree, mapBody, name);
  }
  void rewriteMap(uint16_t device, const std::string &mapBody) {
    meterDevices().rewriteMap(device, mapBody);
  }
  Answer run(uint16_t device, const std::vector<Invocation> &program);
  // Requests unit 1 of the meter has received so far.
  uint64_t meterRequests() const { return meter_.requestCount(1); }

  sim::SimulatedMeter &meter() { return meter_; }
  ManualClock &clock() { return clock_; }

private:
  ManualClock clock_;
  ScopedClock useClock_{clock_};
  sim::SimulatedMeter meter_;
  sim::SimExchange exchange_{meter_, 1};
};

} // namespace arxmod::test
