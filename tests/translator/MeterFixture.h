// MeterFixture: whole Process calls through the real translator chain in
// this process, against the simulated meter behind the exchange callback,
// on a manual clock.
//
// One host database serves the whole test program; every test adds devices
// of its own (a tree file and a map file each, on unit 1 of the meter), so
// per-device state of earlier tests never meets a later one.
//
//   const uint16_t device = addDevice(tree, "<ModbusInfo .../>");
//   meter().withUnit(1, [](RegisterBank &bank) { bank.set(Table::HoldingRegisters, 99, 1234); });
//   Answer answer = run(device, {{0x101, 21}});     // answer.results[0] == "123.4"
#pragma once

#include "TempHostDatabase.h"
#include "base/Clock.h"
#include "sim/SimExchange.h"
#include "tree/ObjList.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace arxmod::test {

struct Invocation {
  uint32_t handle;
  uint32_t method;
  PICType *(*argument)(MemoryBlob &) = nullptr; // none: the method's void argument
};

struct Answer {
  bool processed = false;           // Process returned true
  uint32_t packetStatus = 0;        // of the answer packet
  uint8_t replyStatus = 0;          // of the program message
  std::vector<std::string> results; // one-line text forms
};

class MeterFixture : public ::testing::Test {
protected:
  MeterFixture();
  ~MeterFixture() override;

  // A new device whose tree file holds `tree` and whose map file holds
  // `mapBody` inside a map document; its number.
  uint16_t addDevice(const ObjList &tree, const std::string &mapBody,
                     const std::string &name = "meter");
  // Replaces the map file of `device` (its last-write time moves on).
  void rewriteMap(uint16_t device, const std::string &mapBody);

  Answer run(uint16_t device, const std::vector<Invocation> &program);
  // Requests unit 1 of the meter has received so far.
  uint64_t meterRequests() const { return meter_.requestCount(1); }

  sim::SimulatedMeter &meter() { return meter_; }
  ManualClock &clock() { return clock_; }
  static TempHostDatabase &database();

private:
  ManualClock clock_;
  ScopedClock useClock_{clock_};
  sim::SimulatedMeter meter_;
  sim::SimExchange exchange_{meter_, 1};
};

// The whole map document around `body`.
std::string mapDocument(const std::string &body);

} // namespace arxmod::test
