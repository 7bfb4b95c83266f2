// CalculationEngine: one calculation thread, which runs the virtual
// modules of its devices once per second.
//
// Devices reach an engine through its pending changes (a dictionary of
// devices to add, replacing an entry of the same device, and a list of
// devices to remove), which the engine applies at the start of its next
// tick, so a device handed over runs from the next tick on and a reload
// replaces its entry at once and whole.
//
// One tick (runTick), started by the periodic wait (due at once, then every
// 1000 ms of the process clock's ticks):
//
//   step                         what happens
//   1. host view                 at the first tick and every 31st: whether
//                                each device and its port are enabled
//   2. time                      the pass time: seconds since 1970 (wall
//                                clock) and the tick count
//   3. pending changes           removals, then additions, into the active
//                                dictionary
//   4. pass                      every device not yet done, enabled, with an
//                                ordered module list that is not empty: try
//                                its list's lock; a failure spends one of the
//                                device's 40 tries of this tick and leaves it
//                                undone, and with none left the engine waits
//                                for the lock; locked, every module computes
//                                in order, the statistics are kept and the
//                                device is done
//   5. repeat                    while a device is undone, step 4 again at
//                                once (after yielding the processor)
//
// A pass that overruns the period is counted (NumSecOverflowThread); when
// it overran by a whole period or more, the periods missed are skipped
// (NumWaitOverflowThread) rather than run back to back. A module whose
// compute throws is reported in the system log once, when it starts
// failing; the other modules and devices run on.
//
// Locks, in nesting order: the pending-change lock; the active-dictionary
// lock (held by the engine's thread only while it changes the dictionary or
// the statistics, and by other threads that read them); a device's
// module-list lock (held while its modules compute). The engine's thread
// alone changes the active dictionary, so it reads it without the lock.
#pragma once

#include "modules/KernelInfo.h"

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <stop_token>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace XLARX {

// Whether a device and its port are enabled in the host configuration;
// `recheck` asks the configuration client to look for changes now.
using DeviceEnabledLookup = std::function<bool(uint32_t deviceId, bool recheck)>;

class CalculationEngine {
public:
  static constexpr uint32_t kPeriodMs = 1000;
  static constexpr uint64_t kHostViewTicks = 31;

  // Engine `number` (from 1) of a pool of `engineCount`.
  CalculationEngine(uint32_t number, uint32_t engineCount, DeviceEnabledLookup deviceEnabled);
  // Stops and joins the thread.
  ~CalculationEngine();
  CalculationEngine(const CalculationEngine &) = delete;
  CalculationEngine &operator=(const CalculationEngine &) = delete;

  // Starts the thread (once). Without it, runTick() runs ticks on the caller.
  void start();
  // Stops and joins the thread; it is not started again.
  void stop();

  // Pending changes, applied at the next tick.
  void addDevice(arxmod::IRefPtr<KernelInfo> device);
  void removeDevice(uint32_t deviceId);
  // True when the device is the engine's once pending changes apply.
  bool serves(uint32_t deviceId) const;
  // Devices the engine has once pending changes apply.
  size_t load() const;

  // One tick (see the table above). Only the engine's thread calls it once
  // the thread runs.
  void runTick();

  uint64_t completedTicks() const;
  // Waits, at most `timeout` of real time, until `ticks` ticks completed
  // (tests and benchmarks, which step the clock and then wait for the pass).
  bool awaitTicks(uint64_t ticks, std::chrono::milliseconds timeout) const;
  // Waits, at most `timeout` of real time, until no tick is under way, so
  // that the statistics of the last one are complete.
  bool awaitTickEnd(std::chrono::milliseconds timeout) const;
  std::optional<DeviceCalcStatistics> deviceStatistics(uint32_t deviceId) const;
  ThreadCalcStatistics threadStatistics() const;

private:
  void run(std::stop_token stop);
  // Steps 1 to 5 of a tick.
  void computeTick(bool refreshHostView);
  void endTick();
  void applyPendingChanges(bool refreshHostView);
  // Computes `device` if it can be locked now (or must be waited for);
  // false when it was left for a repeated pass.
  bool computeDevice(KernelInfo &device, const CalcPass &pass);
  void reportFailures(KernelInfo &device, std::vector<uint32_t> failed,
                      const std::vector<std::string> &reasons);

  const uint32_t number_;
  DeviceEnabledLookup deviceEnabled_;

  mutable std::mutex pendingLock_; // guards the three below
  std::unordered_map<uint32_t, arxmod::IRefPtr<KernelInfo>> pendingAdds_;
  std::vector<uint32_t> pendingRemovals_;
  std::unordered_set<uint32_t> assigned_;

  mutable std::mutex activeLock_; // guards changes of active_ and the statistics
  std::unordered_map<uint32_t, arxmod::IRefPtr<KernelInfo>> active_;
  ThreadCalcStatistics statistics_;

  mutable std::mutex progressLock_; // guards the two below
  mutable std::condition_variable progressed_;
  uint64_t startedTicks_ = 0;
  uint64_t ticks_ = 0; // completed

  std::mutex threadLock_; // start and stop
  bool stopped_ = false;
  std::jthread thread_;
};

} // namespace XLARX
