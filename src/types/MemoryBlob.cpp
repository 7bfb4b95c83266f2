// MemoryBlob: chunk handling, the live-arena count and the blob registry.
#include "types/MemoryBlob.h"

#include "base/ProcessSingleton.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <unordered_set>

namespace arxmod {
namespace {

constexpr size_t kRegistryShards = 16;
using BlobSet = std::unordered_set<RegisteredMemoryBlob *>;

// The shard locks outlive the registry (std::mutex needs no destructor), so
// an arena dropped after the registry's release still finds its lock.
std::array<std::mutex, kRegistryShards> &shardLocks() {
  static std::array<std::mutex, kRegistryShards> locks;
  return locks;
}
thread_local long liveBlobs = 0;
thread_local uint64_t chunksTaken = 0;

constinit ProcessSingleton<std::array<BlobSet, kRegistryShards>> registeredBlobs;

// Threads take the shards in turn, the first time each makes an arena.
size_t threadShard() {
  static std::atomic<size_t> nextShard{0};
  thread_local const size_t shard =
      nextShard.fetch_add(1, std::memory_order_relaxed) % kRegistryShards;
  return shard;
}

size_t roundUp8(size_t count) {
  return (count + MemoryBlob::kAlignment - 1) & ~(MemoryBlob::kAlignment - 1);
}

size_t chunkSizeFor(size_t size) {
  if (size >= 2056 && size < 4096)
    return 4096;
  return roundUp8(size == 0 ? 1 : size);
}

} // namespace

MemoryBlob::MemoryBlob(size_t size) : chunkSize_(chunkSizeFor(size)) { ++liveBlobs; }

MemoryBlob::~MemoryBlob() {
  // Unlink the chain iteratively: a long chain must not recurse once per child.
  std::unique_ptr<MemoryBlob> next = std::move(child_);
  while (next)
    next = std::move(next->child_);
  --liveBlobs;
}

void *MemoryBlob::allocate(size_t count) {
  if (count > SIZE_MAX / 4)
    throw std::bad_alloc();
  const size_t rounded = roundUp8(count == 0 ? 1 : count);
  MemoryBlob *target = newest_;
  if (!target->chunk_ || rounded > target->chunkSize_ - target->used_)
    target = addChunk(rounded);
  void *result = target->chunk_.get() + target->used_;
  target->used_ += rounded;
  return result;
}

MemoryBlob *MemoryBlob::addChunk(size_t rounded) {
  std::unique_lock<std::mutex> guard;
  if (chainLock_)
    guard = std::unique_lock(*chainLock_);
  MemoryBlob *target = newest_;
  if (!target->chunk_ && rounded <= target->chunkSize_) {
    target->chunk_.reset(new std::byte[target->chunkSize_]);
  } else {
    const size_t childSize = std::max(chunkSize_, rounded * 2);
    target->child_.reset(new MemoryBlob(childSize));
    target = target->child_.get();
    target->chunk_.reset(new std::byte[target->chunkSize_]);
    newest_ = target;
  }
  ++chunksTaken;
  return target;
}

bool MemoryBlob::chunkContains(const void *address) const noexcept {
  if (!chunk_)
    return false;
  const auto *p = static_cast<const std::byte *>(address);
  return p >= chunk_.get() && p < chunk_.get() + chunkSize_;
}

bool MemoryBlob::contains(const void *address) const noexcept {
  for (const MemoryBlob *blob = this; blob; blob = blob->child_.get())
    if (blob->chunkContains(address))
      return true;
  return false;
}

size_t MemoryBlob::childCount() const noexcept {
  size_t count = 0;
  for (const MemoryBlob *blob = child_.get(); blob; blob = blob->child_.get())
    ++count;
  return count;
}

long MemoryBlob::liveCount() noexcept { return liveBlobs; }

uint64_t MemoryBlob::chunkAllocations() noexcept { return chunksTaken; }

RegisteredMemoryBlob::RegisteredMemoryBlob(size_t size) : MemoryBlob(size), shard_(threadShard()) {
  chainLock_ = &chain_;
  std::lock_guard<std::mutex> guard(shardLocks()[shard_]);
  registeredBlobs.get()[shard_].insert(this);
}

RegisteredMemoryBlob::~RegisteredMemoryBlob() {
  std::lock_guard<std::mutex> guard(shardLocks()[shard_]);
  // A blob outliving the registry's release (a static one) has nothing to
  // leave, and must not make a new registry.
  if (auto *shards = registeredBlobs.existing())
    (*shards)[shard_].erase(this);
}

// The registry is looked at under a shard's lock only: its release takes
// every shard lock.
RegisteredMemoryBlob *RegisteredMemoryBlob::containing(const void *address) {
  for (size_t shard = 0; shard < kRegistryShards; ++shard) {
    std::lock_guard<std::mutex> guard(shardLocks()[shard]);
    for (RegisteredMemoryBlob *blob : registeredBlobs.get()[shard]) {
      std::lock_guard<std::mutex> chain(blob->chain_);
      if (blob->contains(address))
        return blob;
    }
  }
  return nullptr;
}

size_t RegisteredMemoryBlob::registeredCount() {
  size_t count = 0;
  for (size_t shard = 0; shard < kRegistryShards; ++shard) {
    std::lock_guard<std::mutex> guard(shardLocks()[shard]);
    count += registeredBlobs.get()[shard].size();
  }
  return count;
}

void RegisteredMemoryBlob::releaseRegistry() {
  // In shard order, the only order in which anyone holds two shard locks.
  std::array<std::unique_lock<std::mutex>, kRegistryShards> held;
  for (size_t shard = 0; shard < kRegistryShards; ++shard)
    held[shard] = std::unique_lock<std::mutex>(shardLocks()[shard]);
  registeredBlobs.release();
}

} // namespace arxmod
