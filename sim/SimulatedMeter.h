// SimulatedMeter: Modbus units answering request PDUs from their register
// banks, with faults injected per unit. It stands in for the meter in tests
// (behind the exchange callback) and in `arxhost sim` (behind a TCP server).
//
// Thread-safe: one lock serialises every request, hook, tick and setup call,
// so plug-in threads may ask it at once. Time does not enter here: a delay
// fault only tells the caller how long to hold the reply back, and live
// values move when the owner calls tick() with the time it reads.
//
//   SimulatedMeter meter;
//   meter.addUnit(1, [](RegisterBank &bank) { bank.map(Table::HoldingRegisters, 0, 100); });
//   meter.inject(1, parseFaultSpec("exception:6").fault);
//   SimReply reply = meter.answer(1, request); // exception 6, once
#pragma once

#include "sim/Fault.h"
#include "sim/RegisterBank.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <span>
#include <vector>

namespace arxmod::sim {

struct SimReply {
  std::optional<std::vector<uint8_t>> pdu; // none: the unit does not answer
  std::chrono::milliseconds delay{0};      // how long the reply is held back
};

class SimulatedMeter {
public:
  SimulatedMeter() = default;
  SimulatedMeter(const SimulatedMeter &) = delete;
  SimulatedMeter &operator=(const SimulatedMeter &) = delete;

  // Adds a unit with an empty bank (every address unmapped) and lets `setup`
  // map its addresses and attach hooks; an existing unit is set up again.
  void addUnit(uint8_t unit, const std::function<void(RegisterBank &)> &setup = {});
  bool hasUnit(uint8_t unit) const;
  // Runs `work` on the bank of `unit` under the meter's lock; raises
  // std::out_of_range for a unit that was not added.
  void withUnit(uint8_t unit, const std::function<void(RegisterBank &)> &work);

  // Faults of a unit are tried in the order injected; the first that matches
  // a request applies to it alone.
  void inject(uint8_t unit, const Fault &fault);
  void clearFaults(uint8_t unit);

  // The reply of `unit` to one request PDU. A unit that was not added, and
  // an empty PDU, get no reply.
  SimReply answer(uint8_t unit, std::span<const uint8_t> pdu);
  // Requests `unit` has received, answered or not.
  uint64_t requestCount(uint8_t unit) const;

  // Runs the tick hooks of every unit with the time `now`.
  void tick(WallTime now);

private:
  struct Unit {
    RegisterBank bank;
    std::deque<Fault> faults;
    uint64_t requests = 0;
  };

  Unit &unitOf(uint8_t unit);
  static std::optional<Fault> takeFault(Unit &unit, uint8_t function);
  static SimReply applyFault(const Fault &fault, Unit &unit, std::span<const uint8_t> pdu);

  mutable std::mutex mutex_;
  std::map<uint8_t, Unit> units_;
};

} // namespace arxmod::sim
