// MemoryBlob: the bump arenas that typed values live in.
//
// A decoded program, its arguments and its results are built in one arena and
// released with it in one step; values are never freed one by one, so a value
// class never owns heap memory of its own. An arena grabs one chunk on its
// first request and chains a child arena behind it when a request does not
// fit, so the common case costs exactly one heap allocation.
//
// Locking: an arena and its values are used by one thread at a time, so the
// bump itself takes no lock. A registered arena's chain of chunks is read by
// the registry's look-up from other threads, so a registered arena takes its
// own chain lock to add a chunk. The registry is split into shards, each
// with its own lock, and a thread enters its arenas in a shard of its own
// (while there are no more threads than shards), so that arenas made and
// dropped by concurrent calls take no lock in common. The diagnostic counts
// are kept per thread for the same reason.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

namespace arxmod {

class MemoryBlob {
public:
  // Chunk size of a new arena: `size` rounded up to a multiple of 8, and any
  // size from 2056 to 4095 becomes one 4096-byte page.
  explicit MemoryBlob(size_t size);
  MemoryBlob(const MemoryBlob &) = delete;
  MemoryBlob &operator=(const MemoryBlob &) = delete;
  virtual ~MemoryBlob();

  // `count` bytes, 8-byte aligned, valid until the arena is destroyed.
  void *allocate(size_t count);

  // Builds a T in this arena; T's constructor takes the arena first.
  template <typename T, typename... Args> T *make(Args &&...args) {
    static_assert(alignof(T) <= kAlignment, "arena values are 8-byte aligned");
    return new (allocate(sizeof(T))) T(*this, std::forward<Args>(args)...);
  }

  // True when `address` lies in the chunk of this arena or of a chained child.
  bool contains(const void *address) const noexcept;

  size_t chunkSize() const noexcept { return chunkSize_; }
  // Number of chained children (0 while everything fit into the first chunk).
  size_t childCount() const noexcept;

  // Arenas (children included) the calling thread made, less those it
  // destroyed: a test's before and after show what a step leaked.
  static long liveCount() noexcept;
  // Chunks the calling thread took from the heap since it started; the
  // benchmarks report allocations per decode from it.
  static uint64_t chunkAllocations() noexcept;

  static constexpr size_t kAlignment = 8;

protected:
  // Held while a chunk is added to the chain, when set (RegisteredMemoryBlob).
  std::mutex *chainLock_ = nullptr;

private:
  bool chunkContains(const void *address) const noexcept;
  // The arena of the chain where a `rounded`-byte request goes once this
  // one's newest chunk is full or missing.
  MemoryBlob *addChunk(size_t rounded);

  size_t chunkSize_;
  size_t used_ = 0;
  std::unique_ptr<std::byte[]> chunk_;
  std::unique_ptr<MemoryBlob> child_;
  MemoryBlob *newest_ = this; // where requests go: this arena or its last child
};

// A MemoryBlob entered in the process-wide MemoryBlobSet for its lifetime, so
// that the arena holding any address can be found.
class RegisteredMemoryBlob : public MemoryBlob {
public:
  explicit RegisteredMemoryBlob(size_t size);
  ~RegisteredMemoryBlob() override;

  // The registered arena whose chunk (or chained child) holds `address`, or
  // nullptr.
  static RegisteredMemoryBlob *containing(const void *address);
  static size_t registeredCount();
  // Destroys the registry (at unload, once no registered arena is left);
  // the next registration makes a new one.
  static void releaseRegistry();

private:
  std::mutex chain_;
  size_t shard_; // the registry shard it is entered in
};

// Size of the arena a decoded program or a result evaluation gets.
inline constexpr size_t kProgramBlobSize = 4096;

} // namespace arxmod
