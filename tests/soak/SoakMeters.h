// SoakMeters: the devices of the soak, each a simulated meter of its own
// (unit = device index + 1, with the meter's command interface) behind an
// exchange of its own, and the rules that tell a value one of them held.
//
// Each meter keeps a 32-bit counter in two holding registers (401001 high
// word, 401002 low word) and a setpoint in 401003. The counter's value k
// is (k << 16) | scramble(k): the low word follows from the high word, so
// a value put together from the words of two different moments (a torn
// read) never passes heldCounter(). The counter only grows, so a value
// above the meter's newest one was never held either. The setpoint only
// ever holds kSetpointFirst .. kSetpointFirst + kSetpointCount - 1.
//
// The device tree: the counter 0x10, the setpoint 0x11, a Minimum module
// 0x200 on the counter, a periodic timer 0x500 (one trigger a second) and a
// data recorder 0x600 that records the counter at each trigger into its
// data log 0x601.
#pragma once

#include "MeterCalls.h"
#include "sim/MeterBehaviour.h"
#include "sim/SimExchange.h"
#include "tree/ObjList.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace arxmod::test::soak {

inline constexpr uint32_t kCounter = 0x10;
inline constexpr uint32_t kSetpoint = 0x11;
inline constexpr uint32_t kMinimum = 0x201;
inline constexpr uint32_t kDataLog = 0x601;
inline constexpr uint16_t kSetpointFirst = 1000;
inline constexpr uint16_t kSetpointCount = 16;

// The low word that goes with high word `k`: a bijection of 16-bit words.
constexpr uint16_t scramble(uint16_t k) { return static_cast<uint16_t>(k * 0x9E37u + 0x1234u); }
constexpr uint32_t counterValue(uint16_t k) { return (uint32_t{k} << 16) | scramble(k); }

// What a checked value turned out to be.
enum class Verdict { Held, NotAvailable, Wrong };

class SoakMeters {
public:
  // `count` devices with their units, files and host database rows.
  explicit SoakMeters(int count);
  ~SoakMeters();
  SoakMeters(const SoakMeters &) = delete;
  SoakMeters &operator=(const SoakMeters &) = delete;

  int count() const { return static_cast<int>(devices_.size()); }
  uint16_t device(int index) const { return devices_.at(static_cast<size_t>(index)).number; }
  sim::SimExchange &exchange(int index) {
    return *devices_.at(static_cast<size_t>(index)).exchange;
  }
  sim::SimulatedMeter &meter() { return meter_; }
  uint8_t unit(int index) const { return static_cast<uint8_t>(index + 1); }
  uint64_t meterRequests() const;

  // Moves the counter of meter `index` one step on (it stops at 0xFFFF).
  void stepCounter(int index);
  // Whether a counter value read from device `index` (an answer's text
  // form) is one its meter held; the setpoint likewise.
  Verdict checkCounter(int index, const std::string &text) const;
  Verdict checkSetpoint(const std::string &text) const;
  bool heldCounter(int index, double value) const;

  // Replaces the map file of device `index` with one that differs in its
  // update rates only (`variant`), or its tree file with the same tree, in
  // one rename and one second newer, as an engineer editing them would.
  void replaceMap(int index, int variant);
  void replaceTree(int index);

private:
  struct Device {
    uint16_t number = 0;
    std::unique_ptr<sim::SimExchange> exchange;
    std::unique_ptr<std::atomic<uint32_t>> newest; // the meter's newest k
  };

  void replaceFile(const std::filesystem::path &path, const std::string &content);

  sim::SimulatedMeter meter_;
  IRefPtr<ObjList> tree_;
  std::string treeText_;
  std::vector<Device> devices_;
};

// The host's data directory for the soak's logs, set in the host database
// on first use (the process's log buffer reads it once, when it is made).
std::filesystem::path soakDataDirectory();

// The text form of a number in an answer, or nullopt when it is none (an
// exception value).
std::optional<double> numberOf(const std::string &text);

} // namespace arxmod::test::soak
