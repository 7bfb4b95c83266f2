// MemoryBlob: chunk handling, the live-arena count and the blob registry.
#include "types/MemoryBlob.h"

#include "base/ProcessSingleton.h"

#include <algorithm>
#include <mutex>
#include <unordered_set>

namespace arxmod {
namespace {

std::mutex &blobLock() {
  static std::mutex lock;
  return lock;
}
thread_local long liveBlobs = 0;
thread_local uint64_t chunksTaken = 0;

constinit ProcessSingleton<std::unordered_set<RegisteredMemoryBlob *>> registeredBlobs;

std::unordered_set<RegisteredMemoryBlob *> &blobSet() { return registeredBlobs.get(); }

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

RegisteredMemoryBlob::RegisteredMemoryBlob(size_t size) : MemoryBlob(size) {
  chainLock_ = &chain_;
  std::lock_guard<std::mutex> guard(blobLock());
  blobSet().insert(this);
}

RegisteredMemoryBlob::~RegisteredMemoryBlob() {
  std::lock_guard<std::mutex> guard(blobLock());
  // A blob outliving the registry's release (a static one) has nothing to
  // leave, and must not make a new registry.
  if (auto *set = registeredBlobs.existing())
    set->erase(this);
}

RegisteredMemoryBlob *RegisteredMemoryBlob::containing(const void *address) {
  std::lock_guard<std::mutex> guard(blobLock());
  for (RegisteredMemoryBlob *blob : blobSet()) {
    std::lock_guard<std::mutex> chain(blob->chain_);
    if (blob->contains(address))
      return blob;
  }
  return nullptr;
}

size_t RegisteredMemoryBlob::registeredCount() {
  std::lock_guard<std::mutex> guard(blobLock());
  return blobSet().size();
}

void RegisteredMemoryBlob::releaseRegistry() {
  std::lock_guard<std::mutex> guard(blobLock());
  registeredBlobs.release();
}

} // namespace arxmod
