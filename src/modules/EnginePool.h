// CalculationEnginePool: the calculation engines of the process and the
// devices they run.
//
// The engines start on first use (the first device handed over): their
// number is the host setting "NumFieldhubCalculationThreads" when it holds
// a whole number from 1 to 32, else the number of processors in the
// process's affinity mask, held to 1 to 32. Starting them registers
// stopCalculationEngines() as the first of the thread stops that the
// plug-in runs at unload and at process exit (src/host/ThreadStops.h),
// ahead of the log buffer the modules write to.
//
// A device handed over goes to the engine that already serves it, else to
// the engine with the fewest devices (the first of them on ties); the
// engine takes the new entry at its next tick. The pool also keeps the
// latest module list of every device, to which client writes go.
//
// Locks, in nesting order: the pool lock (start, stop, assignment); an
// engine's locks (CalculationEngine.h). The directory of module lists has
// a lock of its own, taken alone.
//
//   CalculationEnginePool::instance().addDevice(makeRef<KernelInfo>(...));
//   CalculationEnginePool::instance().controlWrite(device, handle, value);
#pragma once

#include "modules/CalculationEngine.h"

#include <memory>
#include <optional>
#include <string>

namespace XLARX {

inline constexpr uint32_t kMaxCalculationThreads = 32;

// The engine count for a setting text (nullopt: absent or unreadable) and
// the processors of the affinity mask.
uint32_t calculationThreadCount(const std::optional<std::string> &setting, uint32_t processors);
// Processors in the process's affinity mask (at least 1).
uint32_t affinityProcessorCount();
// Whether a device and its port are enabled in the host's configuration
// database; a device it does not list, or a database that cannot answer,
// counts as enabled.
bool databaseDeviceEnabled(uint32_t deviceId, bool recheck);

class CalculationEnginePool {
public:
  struct Options {
    // The setting's text; by default read from the host configuration.
    std::function<std::optional<std::string>()> threadSetting;
    // By default affinityProcessorCount().
    std::function<uint32_t()> processors;
    // By default databaseDeviceEnabled.
    DeviceEnabledLookup deviceEnabled;
  };

  CalculationEnginePool();
  explicit CalculationEnginePool(Options options);
  // Stops and joins the engines.
  ~CalculationEnginePool();
  CalculationEnginePool(const CalculationEnginePool &) = delete;
  CalculationEnginePool &operator=(const CalculationEnginePool &) = delete;

  // The process's pool; stopped by stopCalculationEngines().
  static CalculationEnginePool &instance();

  // Hands a device over (starting the engines on first use), replacing an
  // entry of the same device.
  void addDevice(arxmod::IRefPtr<KernelInfo> device);
  // The device runs no more modules from the next tick on.
  void removeDevice(uint32_t deviceId);
  // A client write to `handle` of a virtual module of the device; false
  // when the device has none that handles it. ControlWriteRefused passes through.
  bool controlWrite(uint32_t deviceId, uint32_t handle, const arxmod::PICType &value);

  // Stops and joins every engine and forgets every device; the next
  // addDevice starts new engines.
  void stop();

  size_t engineCount() const;
  // The number (from 1) of the engine that serves the device; 0 for none.
  uint32_t engineNumberOf(uint32_t deviceId) const;
  std::optional<DeviceCalcStatistics> deviceStatistics(uint32_t deviceId) const;
  std::vector<ThreadCalcStatistics> threadStatistics() const;
  // Waits, at most `timeout` of real time, until the device has had
  // `passes` passes (tests, which step the clock and then wait).
  bool awaitDevicePasses(uint32_t deviceId, uint64_t passes,
                         std::chrono::milliseconds timeout) const;

private:
  // Creates the engines (pool lock held).
  void startLocked();
  CalculationEngine *engineServing(uint32_t deviceId) const;

  Options options_;
  mutable std::mutex lock_; // the pool lock
  std::vector<std::unique_ptr<CalculationEngine>> engines_;

  mutable std::mutex directoryLock_;
  std::unordered_map<uint32_t, arxmod::IRefPtr<SPXP_ModuleList>> lists_;
};

} // namespace XLARX

namespace arxmod {

// Stops and joins the process's calculation engines (if they were started).
void stopCalculationEngines();
// Stops the process's calculation engines and destroys the pool with the
// modules it holds; the next use makes a new one. The plug-in calls it when
// it unloads.
void releaseCalculationEngines() noexcept;

} // namespace arxmod
