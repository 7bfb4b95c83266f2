// ReentrantSharedMutex: re-entry in both modes, the refused upgrade, the
// bound on reader locks per thread, and readers and writers of several
// threads.
#include "base/ReentrantSharedMutex.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <shared_mutex>
#include <thread>
#include <vector>

namespace arxmod {
namespace {

TEST(ReentrantSharedMutexTest, TheHoldingThreadReenters) {
  ReentrantSharedMutex mutex;
  {
    std::unique_lock write(mutex);
    std::unique_lock again(mutex);
    std::shared_lock read(mutex); // a look-up inside a change
    EXPECT_TRUE(mutex.heldForWriting());
  }
  EXPECT_FALSE(mutex.heldForWriting());
  {
    std::shared_lock read(mutex);
    std::shared_lock nested(mutex);
    EXPECT_THROW(mutex.lock(), std::logic_error); // an upgrade would wait for itself
    EXPECT_FALSE(mutex.try_lock());
  }
  // Every lock was released: another thread can write.
  std::thread other([&] {
    EXPECT_TRUE(mutex.try_lock());
    mutex.unlock();
  });
  other.join();
}

TEST(ReentrantSharedMutexTest, OneThreadReadLocksABoundedNumberOfMutexes) {
  constexpr size_t kMost = ReentrantSharedMutex::kMaxReadLockedPerThread;
  std::vector<ReentrantSharedMutex> mutexes(kMost + 1);
  for (size_t i = 0; i < kMost; ++i)
    mutexes[i].lock_shared();
  EXPECT_THROW(mutexes[kMost].lock_shared(), std::logic_error);
  mutexes[3].lock_shared(); // one already held: only its depth grows
  mutexes[3].unlock_shared();
  mutexes[3].unlock_shared(); // its entry is free again
  mutexes[kMost].lock_shared();
  mutexes[kMost].unlock_shared();
  for (size_t i = 0; i < kMost; ++i)
    if (i != 3)
      mutexes[i].unlock_shared();
  std::thread other([&] { // every reader lock was released
    for (ReentrantSharedMutex &mutex : mutexes) {
      EXPECT_TRUE(mutex.try_lock());
      mutex.unlock();
    }
  });
  other.join();
}

TEST(ReentrantSharedMutexTest, WritersExcludeReadersConcurrent) {
  ReentrantSharedMutex mutex;
  std::shared_lock held(mutex);
  std::atomic<bool> otherWrote{false};
  std::thread writer([&] {
    std::unique_lock write(mutex);
    otherWrote = true;
  });
  // A reader re-entering while a writer waits must not queue behind it.
  {
    std::shared_lock nested(mutex);
    EXPECT_FALSE(otherWrote);
  }
  EXPECT_FALSE(otherWrote);
  held.unlock();
  writer.join();
  EXPECT_TRUE(otherWrote);
}

TEST(ReentrantSharedMutexTest, NestedReadsAndWritesOfManyThreadsConcurrent) {
  ReentrantSharedMutex mutex;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 2000; ++i) {
        if ((i + t) % 3 == 0) {
          std::unique_lock write(mutex);
          std::shared_lock read(mutex);
          const long seen = counter;
          std::unique_lock again(mutex);
          counter = seen + 1;
        } else {
          std::shared_lock read(mutex);
          std::shared_lock nested(mutex);
          EXPECT_GE(counter, 0);
        }
      }
    });
  }
  for (std::thread &thread : threads)
    thread.join();
  long expected = 0;
  for (int t = 0; t < 4; ++t)
    for (int i = 0; i < 2000; ++i)
      expected += (i + t) % 3 == 0;
  EXPECT_EQ(counter, expected);
}

} // namespace
} // namespace arxmod
