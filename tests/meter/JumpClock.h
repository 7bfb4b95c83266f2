// JumpClock: a test clock on which waiting takes no time. A thread that
// waits for a tick moves the clock (ticks and wall time together) to that
// tick at once, as if the wait had passed; tests set and step it like a
// ManualClock and can ask how long the code under test waited.
//
//   JumpClock clock;
//   ScopedClock use(clock);
//   clock.setWall(utc(2026, 3, 1, 12, 2, 30));
//   ... a command waits 100 ms for its result: clock.waitedMs() == 100
#pragma once

#include "base/Clock.h"

#include <chrono>
#include <mutex>

namespace arxmod::test {

class JumpClock final : public Clock {
public:
  WallTime wallNow() const override {
    std::lock_guard lock(mutex_);
    return wall_;
  }
  uint32_t tickNow() const override {
    std::lock_guard lock(mutex_);
    return ticks_;
  }
  bool waitUntilTick(uint32_t deadline, std::stop_token) override {
    std::lock_guard lock(mutex_);
    if (!tickReached(ticks_, deadline)) {
      const uint32_t step = deadline - ticks_;
      waited_ += step;
      ticks_ = deadline;
      wall_ += std::chrono::milliseconds(step);
    }
    return true;
  }

  void advance(std::chrono::milliseconds step) {
    std::lock_guard lock(mutex_);
    wall_ += step;
    ticks_ += static_cast<uint32_t>(step.count());
  }
  void setWall(WallTime wall) {
    std::lock_guard lock(mutex_);
    wall_ = wall;
  }
  // Milliseconds that waits have moved the clock so far.
  uint64_t waitedMs() const {
    std::lock_guard lock(mutex_);
    return waited_;
  }

private:
  mutable std::mutex mutex_;
  WallTime wall_{std::chrono::seconds(1'700'000'000)};
  uint32_t ticks_ = 1000;
  uint64_t waited_ = 0;
};

// The wall time of a UTC calendar time.
inline WallTime utc(int year, unsigned month, unsigned day, int hour, int minute, int second) {
  using namespace std::chrono;
  return sys_days(year_month_day(std::chrono::year(year), std::chrono::month(month),
                                 std::chrono::day(day))) +
         hours(hour) + minutes(minute) + seconds(second);
}

} // namespace arxmod::test
