// MeterState: what the MX4110_4120 translator keeps of one meter between
// Process calls: its circuit labels, its mode, how often either changed
// (the meter's part of the setup counters) and when they were last read.
//
// One state per device number lives from the first call for the device to
// the release at unload (DeviceRecords). Calls for one meter may run side
// by side, so every operation takes the state's own lock; the periodic
// read is claimed under it, so only one call reads.
//
//   MeterState &state = meterState(12);
//   if (state.claimPeriodicRead(tickNow)) ... add the two reads
//   state.updateLabels({"Feeder", "", ""});   // "Feeder", "M02", "M03"
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

namespace XLARX {

// Milliseconds between two periodic reads of the labels and the mode.
inline constexpr uint32_t kPeriodicReadIntervalMs = 300000;

class MeterState {
public:
  // True when the periodic reads are due at tick `now`: never read yet, or
  // more than kPeriodicReadIntervalMs since the last; the caller then sends
  // them, and the next are due an interval later.
  bool claimPeriodicRead(uint32_t now);
  // New circuit labels as read: an empty one stands for "M01", "M02",
  // "M03" in turn. A change of any counts once in changeCount.
  void updateLabels(std::array<std::string, 3> labels);
  // The mode as read; a change counts in changeCount.
  void updateMode(int16_t mode);

  int16_t mode() const;
  uint32_t changeCount() const;
  // The circuit label of a phase key ("A", "AN", "B", "BN", "C", "CN"), or
  // none for another key.
  std::optional<std::string> phaseLabel(std::string_view key) const;

private:
  mutable std::mutex lock_; // guards everything below
  bool periodicReadDone_ = false;
  uint32_t lastPeriodicRead_ = 0; // tick count, once periodicReadDone_
  int16_t mode_ = 0;
  std::map<std::string, std::string, std::less<>> phaseLabels_{{"A", ""},  {"AN", ""}, {"B", ""},
                                                               {"BN", ""}, {"C", ""},  {"CN", ""}};
  uint32_t changeCount_ = 0;
};

// The state of `deviceId`, made on first use.
MeterState &meterState(uint32_t deviceId);
// Destroys every state (at unload, once no call runs).
void releaseMeterStates();

} // namespace XLARX
