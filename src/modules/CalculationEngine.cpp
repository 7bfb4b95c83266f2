// CalculationEngine: the thread, its ticks, the try-locks and the statistics.
#include "modules/CalculationEngine.h"

#include "base/Clock.h"
#include "host/Faults.h"
#include "host/LibraryName.h"
#include "host/LogLevel.h"
#include "host/SLMessage.h"
#include "tree/TreeFormat.h"

#include <algorithm>
#include <ctime>

namespace XLARX {

namespace {

// CPU time of the calling thread, in milliseconds.
double threadCpuMs() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

void reportEngineFault(uint32_t number, std::string_view text) noexcept {
  arxmod::SLMessage(arxmod::LogDestination::ConsoleAndSystemLog,
                    "Calculation thread " + std::to_string(number) + ": " + std::string(text))
      .write(arxmod::kPriorityMessage, arxmod::libraryName(), 0, "Virtual modules", "");
}

} // namespace

CalculationEngine::CalculationEngine(uint32_t number, uint32_t engineCount,
                                     DeviceEnabledLookup deviceEnabled)
    : number_(number), deviceEnabled_(std::move(deviceEnabled)) {
  statistics_.calcThreadId = number;
  statistics_.numCalcThreads = engineCount;
}

CalculationEngine::~CalculationEngine() { stop(); }

void CalculationEngine::start() {
  std::lock_guard guard(threadLock_);
  if (stopped_ || thread_.joinable())
    return;
  thread_ = std::jthread([this](std::stop_token stop) { run(std::move(stop)); });
}

void CalculationEngine::stop() {
  std::lock_guard guard(threadLock_);
  stopped_ = true;
  if (thread_.joinable()) {
    thread_.request_stop();
    thread_.join();
  }
}

void CalculationEngine::addDevice(arxmod::IRefPtr<KernelInfo> device) {
  const uint32_t id = device->deviceId;
  std::lock_guard guard(pendingLock_);
  std::erase(pendingRemovals_, id);
  pendingRemovals_.push_back(id); // the active entry, if any, goes first
  pendingAdds_[id] = std::move(device);
  assigned_.insert(id);
}

void CalculationEngine::removeDevice(uint32_t deviceId) {
  std::lock_guard guard(pendingLock_);
  pendingAdds_.erase(deviceId);
  if (std::find(pendingRemovals_.begin(), pendingRemovals_.end(), deviceId) ==
      pendingRemovals_.end())
    pendingRemovals_.push_back(deviceId);
  assigned_.erase(deviceId);
}

bool CalculationEngine::serves(uint32_t deviceId) const {
  std::lock_guard guard(pendingLock_);
  return assigned_.contains(deviceId);
}

size_t CalculationEngine::load() const {
  std::lock_guard guard(pendingLock_);
  return assigned_.size();
}

uint64_t CalculationEngine::completedTicks() const {
  std::lock_guard guard(progressLock_);
  return ticks_;
}

bool CalculationEngine::awaitTicks(uint64_t ticks, std::chrono::milliseconds timeout) const {
  std::unique_lock lock(progressLock_);
  return progressed_.wait_for(lock, timeout, [&] { return ticks_ >= ticks; });
}

bool CalculationEngine::awaitTickEnd(std::chrono::milliseconds timeout) const {
  std::unique_lock lock(progressLock_);
  return progressed_.wait_for(lock, timeout, [&] { return ticks_ == startedTicks_; });
}

std::optional<DeviceCalcStatistics> CalculationEngine::deviceStatistics(uint32_t deviceId) const {
  std::lock_guard guard(activeLock_);
  const auto found = active_.find(deviceId);
  if (found == active_.end())
    return std::nullopt;
  return found->second->statistics;
}

ThreadCalcStatistics CalculationEngine::threadStatistics() const {
  std::lock_guard guard(activeLock_);
  return statistics_;
}

void CalculationEngine::run(std::stop_token stop) {
  arxmod::installWorkerFaultHandlers("calculation thread " + std::to_string(number_));
  uint32_t deadline = arxmod::currentClock().tickNow();
  while (arxmod::currentClock().waitUntilTick(deadline, stop)) {
    try {
      runTick();
    } catch (const std::exception &failure) {
      reportEngineFault(number_, failure.what());
    }
    deadline += kPeriodMs;
    const uint32_t now = arxmod::currentClock().tickNow();
    const uint32_t late = now - deadline;
    if (arxmod::tickReached(now, deadline) && late >= kPeriodMs) {
      const uint32_t skipped = late / kPeriodMs;
      deadline += skipped * kPeriodMs;
      std::lock_guard guard(activeLock_);
      statistics_.numWaitOverflow += skipped;
    }
  }
}

void CalculationEngine::applyPendingChanges(bool refreshHostView) {
  std::unordered_map<uint32_t, arxmod::IRefPtr<KernelInfo>> adds;
  std::vector<uint32_t> removals;
  {
    std::lock_guard guard(pendingLock_);
    adds.swap(pendingAdds_);
    removals.swap(pendingRemovals_);
  }
  // Entries dropped here are destroyed after the lock is released: a
  // module's destructor takes its cache's lock. A replaced entry hands its
  // statistics on, so a device's figures survive a reload of its files.
  std::unordered_map<uint32_t, arxmod::IRefPtr<KernelInfo>> dropped;
  {
    std::lock_guard guard(activeLock_);
    for (const uint32_t id : removals)
      if (const auto found = active_.find(id); found != active_.end()) {
        dropped.emplace(id, std::move(found->second));
        active_.erase(found);
      }
    for (auto &[id, device] : adds) {
      if (const auto old = dropped.find(id); old != dropped.end())
        device->statistics = old->second->statistics;
      active_[id] = device;
    }
  }
  dropped.clear();
  bool recheck = refreshHostView;
  for (auto &[id, device] : refreshHostView ? active_ : adds) {
    device->enabled = deviceEnabled_(id, recheck);
    recheck = false;
  }
}

void CalculationEngine::runTick() {
  bool refreshHostView = false;
  {
    std::lock_guard guard(progressLock_);
    refreshHostView = startedTicks_++ % kHostViewTicks == 0;
  }
  // A tick that fails still ends, or awaitTickEnd would wait for it forever.
  try {
    computeTick(refreshHostView);
  } catch (...) {
    endTick();
    throw;
  }
  endTick();
}

void CalculationEngine::endTick() {
  {
    std::lock_guard guard(progressLock_);
    ++ticks_;
  }
  progressed_.notify_all();
}

void CalculationEngine::computeTick(bool refreshHostView) {
  arxmod::Clock &clock = arxmod::currentClock();
  const CalcPass pass{arxmod::unixSeconds(clock.wallNow()), clock.tickNow(), nullptr};
  const double cpuStart = threadCpuMs();
  applyPendingChanges(refreshHostView);
  for (auto &[id, device] : active_) {
    device->done = false;
    device->tryLockBudget = KernelInfo::kTryLockBudget;
  }
  for (;;) {
    bool undone = false;
    for (auto &[id, device] : active_)
      if (!device->done && !computeDevice(*device, pass))
        undone = true;
    if (!undone)
      break;
    std::this_thread::yield();
  }
  const uint32_t elapsed = clock.tickNow() - pass.tick;
  {
    std::lock_guard guard(activeLock_);
    statistics_.numDevicesThisThread = static_cast<uint32_t>(active_.size());
    statistics_.recordPass(pass.time, elapsed, threadCpuMs() - cpuStart, kPeriodMs);
  }
}

bool CalculationEngine::computeDevice(KernelInfo &device, const CalcPass &pass) {
  SPXP_ModuleList &list = *device.modules;
  if (!device.enabled || !list.ordered() || list.empty()) {
    device.done = true;
    return true;
  }
  // With its tries spent, the device is waited for.
  const bool blocked = device.tryLockBudget == 0;
  std::unique_lock lock(list.lock(), std::defer_lock);
  if (blocked) {
    lock.lock();
  } else if (!lock.try_lock()) {
    --device.tryLockBudget;
    std::lock_guard guard(activeLock_);
    ++device.statistics.numTryEnterFails;
    ++statistics_.numTryEnterFails;
    return false;
  }
  arxmod::Clock &clock = arxmod::currentClock();
  const uint32_t start = clock.tickNow();
  // What the Diagnostics module publishes: the figures up to this pass.
  // Only this thread writes them, so it reads them without the lock.
  const CalcStatistics seen{device.statistics, statistics_};
  CalcPass devicePass = pass;
  devicePass.statistics = &seen;
  std::vector<uint32_t> failed;
  std::vector<std::string> reasons;
  list.computeLocked(devicePass, [&](const SPXP_ModuleBase &module, const std::string &reason) {
    failed.push_back(module.handle());
    reasons.push_back(reason);
  });
  lock.unlock();
  const uint32_t elapsed = clock.tickNow() - start;
  {
    std::lock_guard guard(activeLock_);
    ++device.statistics.numCritEnters;
    device.statistics.recordPass(elapsed);
    ++statistics_.numCritEnters;
    if (blocked)
      ++statistics_.numCritBlocks;
  }
  if (!failed.empty() || !device.failingModules.empty())
    reportFailures(device, std::move(failed), reasons);
  device.done = true;
  return true;
}

void CalculationEngine::reportFailures(KernelInfo &device, std::vector<uint32_t> failed,
                                       const std::vector<std::string> &reasons) {
  for (size_t i = 0; i < failed.size(); ++i)
    if (std::find(device.failingModules.begin(), device.failingModules.end(), failed[i]) ==
        device.failingModules.end())
      reportEngineFault(number_, "virtual module " + arxmod::handleText(failed[i]) + " of device " +
                                     std::to_string(device.deviceId) + " failed: " + reasons[i]);
  device.failingModules = std::move(failed);
}

} // namespace XLARX
