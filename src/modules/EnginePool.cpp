// CalculationEnginePool: engine count, start, assignment and stop.
#include "modules/EnginePool.h"

#include "base/KSXmsg.h"
#include "base/ProcessSingleton.h"
#include "host/ConfigDatabase.h"
#include "host/ThreadStops.h"

#include <charconv>
#include <sched.h>
#include <thread>

namespace XLARX {

namespace {

constinit arxmod::ProcessSingleton<CalculationEnginePool> processPool;

std::optional<std::string> hostThreadSetting() {
  try {
    return arxmod::ConfigDatabase::instance().hostSetting("NumFieldhubCalculationThreads");
  } catch (const arxmod::KSXmsg &) {
    return std::nullopt; // no configuration to ask: the processors decide
  }
}

CalculationEnginePool::Options withDefaults(CalculationEnginePool::Options options) {
  if (!options.threadSetting)
    options.threadSetting = hostThreadSetting;
  if (!options.processors)
    options.processors = affinityProcessorCount;
  if (!options.deviceEnabled)
    options.deviceEnabled = databaseDeviceEnabled;
  return options;
}

} // namespace

uint32_t calculationThreadCount(const std::optional<std::string> &setting, uint32_t processors) {
  if (setting) {
    uint32_t count = 0;
    const char *end = setting->data() + setting->size();
    const auto [stop, error] = std::from_chars(setting->data(), end, count);
    if (error == std::errc() && stop == end && count >= 1 && count <= kMaxCalculationThreads)
      return count;
  }
  return std::clamp<uint32_t>(processors, 1, kMaxCalculationThreads);
}

uint32_t affinityProcessorCount() {
  cpu_set_t set;
  CPU_ZERO(&set);
  if (sched_getaffinity(0, sizeof set, &set) == 0 && CPU_COUNT(&set) > 0)
    return static_cast<uint32_t>(CPU_COUNT(&set));
  return std::max(1u, std::thread::hardware_concurrency());
}

bool databaseDeviceEnabled(uint32_t deviceId, bool recheck) {
  try {
    arxmod::ConfigDatabase &database = arxmod::ConfigDatabase::instance();
    const std::optional<arxmod::DeviceRecord> record =
        recheck ? database.deviceRefreshed(deviceId) : database.device(deviceId);
    return !record || record->enabled;
  } catch (const arxmod::KSXmsg &) {
    return true; // the database's fault is reported where it is used for requests
  }
}

CalculationEnginePool::CalculationEnginePool() : CalculationEnginePool(Options{}) {}

CalculationEnginePool::CalculationEnginePool(Options options)
    : options_(withDefaults(std::move(options))) {}

CalculationEnginePool::~CalculationEnginePool() { stop(); }

CalculationEnginePool &CalculationEnginePool::instance() { return processPool.get(); }

void CalculationEnginePool::startLocked() {
  const uint32_t count = calculationThreadCount(options_.threadSetting(), options_.processors());
  if (this == processPool.existing())
    arxmod::registerThreadStop(arxmod::ThreadStopOrder::CalculationEngines,
                               &arxmod::stopCalculationEngines);
  for (uint32_t number = 1; number <= count; ++number)
    engines_.push_back(std::make_unique<CalculationEngine>(number, count, options_.deviceEnabled));
}

CalculationEngine *CalculationEnginePool::engineServing(uint32_t deviceId) const {
  for (const auto &engine : engines_)
    if (engine->serves(deviceId))
      return engine.get();
  return nullptr;
}

void CalculationEnginePool::addDevice(arxmod::IRefPtr<KernelInfo> device) {
  const uint32_t id = device->deviceId;
  arxmod::IRefPtr<SPXP_ModuleList> list = device->modules;
  {
    std::lock_guard guard(lock_);
    if (engines_.empty())
      startLocked();
    CalculationEngine *engine = engineServing(id);
    if (!engine) {
      engine = engines_.front().get();
      for (const auto &candidate : engines_)
        if (candidate->load() < engine->load())
          engine = candidate.get();
    }
    engine->addDevice(std::move(device));
    // Started once the first device is theirs, so that their first tick,
    // which is due at once, runs it.
    for (const auto &started : engines_)
      started->start();
  }
  std::lock_guard guard(directoryLock_);
  lists_[id] = std::move(list);
}

void CalculationEnginePool::removeDevice(uint32_t deviceId) {
  {
    std::lock_guard guard(lock_);
    if (CalculationEngine *engine = engineServing(deviceId))
      engine->removeDevice(deviceId);
  }
  arxmod::IRefPtr<SPXP_ModuleList> dropped;
  std::lock_guard guard(directoryLock_);
  if (const auto found = lists_.find(deviceId); found != lists_.end()) {
    dropped = std::move(found->second);
    lists_.erase(found);
  }
}

bool CalculationEnginePool::controlWrite(uint32_t deviceId, uint32_t handle,
                                         const arxmod::PICType &value) {
  arxmod::IRefPtr<SPXP_ModuleList> list;
  {
    std::lock_guard guard(directoryLock_);
    if (const auto found = lists_.find(deviceId); found != lists_.end())
      list = found->second;
  }
  return list && list->controlWrite(handle, value);
}

void CalculationEnginePool::stop() {
  std::vector<std::unique_ptr<CalculationEngine>> engines;
  {
    std::lock_guard guard(lock_);
    engines.swap(engines_);
  }
  engines.clear(); // each engine stops and joins its thread
  std::unordered_map<uint32_t, arxmod::IRefPtr<SPXP_ModuleList>> lists;
  std::lock_guard guard(directoryLock_);
  lists.swap(lists_);
}

size_t CalculationEnginePool::engineCount() const {
  std::lock_guard guard(lock_);
  return engines_.size();
}

uint32_t CalculationEnginePool::engineNumberOf(uint32_t deviceId) const {
  std::lock_guard guard(lock_);
  for (size_t i = 0; i < engines_.size(); ++i)
    if (engines_[i]->serves(deviceId))
      return static_cast<uint32_t>(i + 1);
  return 0;
}

std::optional<DeviceCalcStatistics>
CalculationEnginePool::deviceStatistics(uint32_t deviceId) const {
  std::lock_guard guard(lock_);
  const CalculationEngine *engine = engineServing(deviceId);
  return engine ? engine->deviceStatistics(deviceId) : std::nullopt;
}

std::vector<ThreadCalcStatistics> CalculationEnginePool::threadStatistics() const {
  std::lock_guard guard(lock_);
  std::vector<ThreadCalcStatistics> statistics;
  for (const auto &engine : engines_)
    statistics.push_back(engine->threadStatistics());
  return statistics;
}

bool CalculationEnginePool::awaitDevicePasses(uint32_t deviceId, uint64_t passes,
                                              std::chrono::milliseconds timeout) const {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    const CalculationEngine *engine = nullptr;
    {
      std::lock_guard guard(lock_);
      engine = engineServing(deviceId);
    }
    if (!engine)
      return false;
    const uint64_t ticks = engine->completedTicks();
    const std::optional<DeviceCalcStatistics> statistics = engine->deviceStatistics(deviceId);
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    // A device's pass is counted in the middle of its tick: the engine's
    // own figures for that tick follow when the tick ends.
    if (statistics && statistics->numCalcSec >= passes)
      return engine->awaitTickEnd(std::max(left, std::chrono::milliseconds(0)));
    if (left.count() <= 0 || !engine->awaitTicks(ticks + 1, left))
      return false;
  }
}

} // namespace XLARX

namespace arxmod {

void stopCalculationEngines() {
  if (XLARX::CalculationEnginePool *pool = XLARX::processPool.existing())
    pool->stop();
}

void releaseCalculationEngines() noexcept {
  if (XLARX::CalculationEnginePool *pool = XLARX::processPool.existing())
    pool->stop();
  XLARX::processPool.release();
}

} // namespace arxmod
