// XLARX::LogBufferSaveThread: the wait, gather and save cycle.
#include "logs/LogBufferSaveThread.h"

#include "base/Clock.h"
#include "host/Faults.h"

namespace XLARX {

using namespace arxmod;

LogBufferSaveThread::LogBufferSaveThread(std::function<void()> cycle) : cycle_(std::move(cycle)) {}

LogBufferSaveThread::~LogBufferSaveThread() { stop(); }

void LogBufferSaveThread::start() {
  std::lock_guard lock(mutex_);
  if (phase_ != Phase::NotStarted)
    return;
  phase_ = Phase::Waiting;
  thread_ = std::jthread([this](std::stop_token stop) { run(std::move(stop)); });
}

void LogBufferSaveThread::signal() {
  std::lock_guard lock(mutex_);
  if (wake_)
    wake_->request_stop();
  else
    signaled_ = true;
}

void LogBufferSaveThread::stop() {
  std::lock_guard stopping(stopMutex_);
  std::jthread thread;
  {
    std::lock_guard lock(mutex_);
    thread = std::move(thread_);
  }
  if (thread.joinable()) {
    thread.request_stop();
    thread.join();
  }
  setPhase(Phase::NotStarted);
}

LogBufferSaveThread::Phase LogBufferSaveThread::phase() const {
  std::lock_guard lock(mutex_);
  return phase_;
}

uint64_t LogBufferSaveThread::completedCycles() const {
  std::lock_guard lock(mutex_);
  return cycles_;
}

bool LogBufferSaveThread::awaitPhase(Phase phase, uint64_t cycles,
                                     std::chrono::milliseconds timeout) const {
  std::unique_lock lock(mutex_);
  return phaseChanged_.wait_for(lock, timeout,
                                [&] { return phase_ == phase && cycles_ >= cycles; });
}

void LogBufferSaveThread::setPhase(Phase phase) {
  {
    std::lock_guard lock(mutex_);
    phase_ = phase;
  }
  phaseChanged_.notify_all();
}

bool LogBufferSaveThread::waitForSignal(const std::stop_token &stop) {
  // Deadlines are taken before the phase is published, so a test that
  // steps the clock once it sees the phase steps it past this deadline.
  Clock &clock = currentClock();
  const uint32_t deadline = clock.tickNow() + kSignalWaitMs;
  std::stop_source wake;
  {
    std::lock_guard lock(mutex_);
    if (signaled_)
      wake.request_stop();
    signaled_ = false;
    wake_ = &wake;
    phase_ = Phase::Waiting;
  }
  phaseChanged_.notify_all();
  {
    std::stop_callback onStop(stop, [&wake] { wake.request_stop(); });
    clock.waitUntilTick(deadline, wake.get_token());
  }
  std::lock_guard lock(mutex_);
  wake_ = nullptr;
  return !stop.stop_requested();
}

void LogBufferSaveThread::run(std::stop_token stop) {
  installWorkerFaultHandlers("log buffer save thread");
  while (waitForSignal(stop)) {
    Clock &clock = currentClock();
    const uint32_t deadline = clock.tickNow() + kGatherMs;
    setPhase(Phase::Sleeping);
    if (!clock.waitUntilTick(deadline, stop))
      break;
    setPhase(Phase::Saving);
    cycle_();
    std::lock_guard lock(mutex_);
    ++cycles_;
  }
}

} // namespace XLARX
