// ReentrantSharedMutex: a reader/writer lock that the thread holding it may
// take again.
//
// A translation map is read by many threads at once and changed rarely
// (preparation, merging); its changing steps call look-ups that take the
// reader lock, and look-ups call one another. Here a thread that holds the
// lock in either mode may lock it again in either mode without blocking,
// except that a thread holding only the reader lock cannot take the writer
// lock (an upgrade would wait for itself): that raises std::logic_error.
// Each lock must be released by the thread that took it, as many times as
// it was taken. Meets the SharedMutex requirements, so std::shared_lock and
// std::unique_lock work with it:
//
//   ReentrantSharedMutex lock;
//   std::unique_lock write(lock);
//   std::shared_lock read(lock);   // same thread: does not block
#pragma once

#include <atomic>
#include <cstddef>
#include <shared_mutex>
#include <stdexcept>
#include <string>
#include <thread>

namespace arxmod {

class ReentrantSharedMutex {
public:
  ReentrantSharedMutex() = default;
  ReentrantSharedMutex(const ReentrantSharedMutex &) = delete;
  ReentrantSharedMutex &operator=(const ReentrantSharedMutex &) = delete;

  void lock() {
    if (heldForWriting()) {
      ++writeDepth_;
      return;
    }
    if (readDepth() != 0)
      throw std::logic_error("ReentrantSharedMutex: a reader cannot take the writer lock");
    mutex_.lock();
    writer_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    writeDepth_ = 1;
  }
  bool try_lock() {
    if (heldForWriting()) {
      ++writeDepth_;
      return true;
    }
    if (readDepth() != 0 || !mutex_.try_lock())
      return false;
    writer_.store(std::this_thread::get_id(), std::memory_order_relaxed);
    writeDepth_ = 1;
    return true;
  }
  void unlock() {
    if (--writeDepth_ != 0)
      return;
    writer_.store(std::thread::id(), std::memory_order_relaxed);
    mutex_.unlock();
  }

  // The reader paths look at the thread's own depth first: a thread that
  // holds a reader lock cannot hold the writer lock, and the depth lives in
  // thread-local storage, whereas the writer's id shares its cache line with
  // the lock that the calls of other threads write.
  void lock_shared() {
    size_t &depth = readDepth();
    if (depth == 0 && heldForWriting()) {
      ++writeDepth_; // a read inside the thread's own write
      return;
    }
    if (depth == 0)
      mutex_.lock_shared();
    ++depth;
  }
  bool try_lock_shared() {
    size_t &depth = readDepth();
    if (depth == 0 && heldForWriting()) {
      ++writeDepth_;
      return true;
    }
    if (depth == 0 && !mutex_.try_lock_shared())
      return false;
    ++depth;
    return true;
  }
  void unlock_shared() {
    size_t &depth = readDepth();
    if (depth == 0) {
      unlock(); // the end of a read inside the thread's own write
      return;
    }
    if (--depth == 0)
      mutex_.unlock_shared();
  }

  // Whether the calling thread holds the writer lock.
  bool heldForWriting() const {
    return writer_.load(std::memory_order_relaxed) == std::this_thread::get_id();
  }

  // Most mutexes one thread may hold reader locks on at the same time.
  static constexpr size_t kMaxReadLockedPerThread = 16;

private:
  // The calling thread's count of reader locks on this mutex. A thread keeps
  // one small table for all mutexes it has read-locked; entries at zero are
  // reused. The table is plain storage without destructor: a thread-local
  // object with one would keep the plug-in mapped after the host unloads it,
  // for as long as the thread that used it lives.
  size_t &readDepth() {
    struct Held {
      const ReentrantSharedMutex *mutex;
      size_t depth;
    };
    thread_local Held held[kMaxReadLockedPerThread];
    thread_local size_t used = 0;
    Held *free = nullptr;
    for (size_t i = 0; i < used; ++i) {
      if (held[i].mutex == this)
        return held[i].depth;
      if (held[i].depth == 0 && !free)
        free = &held[i];
    }
    if (!free) {
      if (used == kMaxReadLockedPerThread)
        throw std::logic_error("ReentrantSharedMutex: a thread holds reader locks on more than " +
                               std::to_string(kMaxReadLockedPerThread) + " mutexes at once");
      free = &held[used++];
    }
    *free = {this, 0};
    return free->depth;
  }

  std::shared_mutex mutex_;
  // Only the writing thread stores its id here or reads writeDepth_; other
  // threads only compare the id with their own, which can never match.
  std::atomic<std::thread::id> writer_{};
  size_t writeDepth_ = 0;
};

} // namespace arxmod
