// Clock: the one source of time for everything that runs on a rate: cache
// refresh, the probe, time synchronisation, calculation ticks, log saves.
//
// It offers the wall time (UTC, what the system clock says) and the 32-bit
// millisecond tick count (steady, wraps like the host's tick counter), and a
// wait for a tick deadline that a stop request cuts short. Production code
// reads currentClock(), the system clock unless a test installed another;
// tests install a ManualClock, set it and step it, so that no test sleeps
// to wait for a rate:
//
//   ManualClock clock;
//   ScopedClock use(clock);
//   clock.advance(std::chrono::seconds(61)); // wakes every waiter that is due
#pragma once

#include "base/NeverDestroyed.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <stop_token>

namespace arxmod {

using WallTime = std::chrono::system_clock::time_point;

// Seconds since 1970-01-01 00:00 UTC, with the fraction.
inline double unixSeconds(WallTime time) {
  return std::chrono::duration<double>(time.time_since_epoch()).count();
}
// Whole seconds since 1970-01-01 00:00 UTC.
inline int64_t unixWholeSeconds(WallTime time) {
  return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

// True once `now` has reached `deadline` on the wrapping tick counter (the
// two are less than 2^31 ms apart, about 24 days).
inline bool tickReached(uint32_t now, uint32_t deadline) {
  return static_cast<int32_t>(now - deadline) >= 0;
}

class Clock {
public:
  virtual ~Clock() = default;
  virtual WallTime wallNow() const = 0;
  virtual uint32_t tickNow() const = 0;
  // Waits until the tick count reaches `deadline` or `stop` is requested.
  // True when the deadline was reached, false when stopped.
  virtual bool waitUntilTick(uint32_t deadline, std::stop_token stop) = 0;
};

// The system clocks: system_clock for wall time, steady_clock for ticks.
class SystemClock final : public Clock {
public:
  WallTime wallNow() const override { return std::chrono::system_clock::now(); }
  uint32_t tickNow() const override {
    using namespace std::chrono;
    return static_cast<uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  bool waitUntilTick(uint32_t deadline, std::stop_token stop) override {
    std::mutex mutex;
    std::condition_variable_any wake;
    std::unique_lock lock(mutex);
    for (;;) {
      const uint32_t now = tickNow();
      if (tickReached(now, deadline))
        return true;
      const auto left = std::chrono::milliseconds(static_cast<uint32_t>(deadline - now));
      wake.wait_for(lock, stop, left, [] { return false; });
      if (stop.stop_requested())
        return false;
    }
  }
};

// A clock that moves only when told to. Waiters wake when it is stepped past
// their deadline or when they are stopped.
class ManualClock final : public Clock {
public:
  explicit ManualClock(WallTime wall = WallTime(std::chrono::seconds(1'700'000'000)),
                       uint32_t ticks = 1000)
      : wall_(wall), ticks_(ticks) {}

  WallTime wallNow() const override {
    std::lock_guard lock(mutex_);
    return wall_;
  }
  uint32_t tickNow() const override {
    std::lock_guard lock(mutex_);
    return ticks_;
  }
  bool waitUntilTick(uint32_t deadline, std::stop_token stop) override {
    std::unique_lock lock(mutex_);
    return wake_.wait(lock, stop, [&] { return tickReached(ticks_, deadline); });
  }

  // Moves wall time and ticks forward together.
  void advance(std::chrono::milliseconds step) {
    {
      std::lock_guard lock(mutex_);
      wall_ += step;
      ticks_ += static_cast<uint32_t>(step.count());
    }
    wake_.notify_all();
  }
  // Sets the wall time alone (a clock set back or forward); ticks keep going.
  void setWall(WallTime wall) {
    std::lock_guard lock(mutex_);
    wall_ = wall;
  }
  void setTicks(uint32_t ticks) {
    {
      std::lock_guard lock(mutex_);
      ticks_ = ticks;
    }
    wake_.notify_all();
  }

private:
  mutable std::mutex mutex_;
  std::condition_variable_any wake_;
  WallTime wall_;
  uint32_t ticks_;
};

namespace detail {
// Never destroyed: threads may still read the time while the runtime
// destroys statics at process exit.
inline SystemClock &systemClock() { return neverDestroyed<SystemClock>(); }
inline std::atomic<Clock *> &installedClock() {
  static std::atomic<Clock *> clock{nullptr};
  return clock;
}
} // namespace detail

// The clock every rate reads.
inline Clock &currentClock() {
  Clock *installed = detail::installedClock().load(std::memory_order_acquire);
  return installed ? *installed : detail::systemClock();
}

// Installs `clock` for the lifetime of this object (tests).
class ScopedClock {
public:
  explicit ScopedClock(Clock &clock)
      : previous_(detail::installedClock().exchange(&clock, std::memory_order_acq_rel)) {}
  ~ScopedClock() { detail::installedClock().store(previous_, std::memory_order_release); }
  ScopedClock(const ScopedClock &) = delete;
  ScopedClock &operator=(const ScopedClock &) = delete;

private:
  Clock *previous_;
};

} // namespace arxmod
