// The test clock wakes its waiters when stepped past their deadline or
// stopped, and the tick arithmetic survives the wrap of the counter.
#include "base/Clock.h"
#include "base/TickCount.h"

#include <gtest/gtest.h>
#include <thread>

namespace arxmod {
namespace {

TEST(ClockTest, TickDeadlinesHoldAcrossTheWrap) {
  EXPECT_TRUE(tickReached(5, 0xFFFFFFF0u));
  EXPECT_FALSE(tickReached(0xFFFFFFF0u, 5));
  EXPECT_TRUE(tickReached(7, 7));
  EXPECT_EQ(ticksElapsed(0xFFFFFFF0u, 0x10u), 0x20u);
}

TEST(ClockConcurrentTest, ManualClockStepsWakeWaitersOnlyWhenDue) {
  ManualClock clock(WallTime(std::chrono::seconds(100)), 0xFFFFFF00u);
  std::atomic<int> woken{0};
  std::jthread waiter([&](std::stop_token stop) {
    if (clock.waitUntilTick(0x100, stop)) // past the wrap
      ++woken;
  });
  clock.advance(std::chrono::milliseconds(0x100)); // 0x0: not yet due
  std::this_thread::yield();
  EXPECT_EQ(woken.load(), 0);
  clock.advance(std::chrono::milliseconds(0x100));
  waiter.join();
  EXPECT_EQ(woken.load(), 1);
  EXPECT_EQ(unixWholeSeconds(clock.wallNow()), 100);
}

TEST(ClockConcurrentTest, AStopEndsAWaitOnEitherClock) {
  ManualClock manual;
  SystemClock system;
  for (Clock *clock : {static_cast<Clock *>(&manual), static_cast<Clock *>(&system)}) {
    std::stop_source stop;
    bool reached = true;
    std::thread waiter(
        [&] { reached = clock->waitUntilTick(clock->tickNow() + 3'600'000, stop.get_token()); });
    stop.request_stop();
    waiter.join();
    EXPECT_FALSE(reached);
  }
}

TEST(ClockTest, AnInstalledClockIsTheOneEveryRateReads) {
  ManualClock clock(WallTime(std::chrono::seconds(5)), 42);
  {
    ScopedClock use(clock);
    EXPECT_EQ(tickCount(), 42u);
    EXPECT_EQ(&currentClock(), &clock);
  }
  EXPECT_NE(&currentClock(), &clock);
}

} // namespace
} // namespace arxmod
