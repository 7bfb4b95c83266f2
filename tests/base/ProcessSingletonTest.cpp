// ProcessSingleton makes exactly one object however many threads ask first,
// and destroys it only when released.
#include "base/ProcessSingleton.h"

#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace arxmod {
namespace {

struct Counted {
  static inline std::atomic<int> made{0};
  static inline std::atomic<int> destroyed{0};
  Counted() { ++made; }
  ~Counted() { ++destroyed; }
};

TEST(ProcessSingletonTest, ReleaseDestroysAndTheNextUseMakesAnew) {
  ProcessSingleton<Counted> holder;
  Counted::made = 0;
  Counted::destroyed = 0;
  EXPECT_EQ(holder.existing(), nullptr) << "existing() never makes the object";
  Counted *first = &holder.get();
  EXPECT_EQ(&holder.get(), first);
  EXPECT_EQ(holder.existing(), first);
  holder.release();
  EXPECT_EQ(Counted::destroyed.load(), 1);
  EXPECT_EQ(holder.existing(), nullptr);
  holder.release(); // releasing nothing is harmless
  EXPECT_EQ(Counted::destroyed.load(), 1);
  holder.get();
  EXPECT_EQ(Counted::made.load(), 2);
  holder.release();
}

TEST(ProcessSingletonConcurrentTest, ThreadsAskingFirstShareOneObject) {
  ProcessSingleton<Counted> holder;
  Counted::made = 0;
  constexpr int kThreads = 8;
  std::vector<Counted *> seen(kThreads);
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < kThreads; ++i)
    threads.emplace_back([&, i] {
      while (!go.load())
        std::this_thread::yield();
      seen[static_cast<size_t>(i)] = &holder.get([] { return new Counted(); });
    });
  go = true;
  for (auto &thread : threads)
    thread.join();
  EXPECT_EQ(Counted::made.load(), 1);
  for (Counted *object : seen)
    EXPECT_EQ(object, seen.front());
  holder.release();
}

} // namespace
} // namespace arxmod
