// PendingReads: listing a call's reads and dropping those left over.
#include "cache/PendingReads.h"

#include "cache/Cache.h"

namespace XLARX {

void PendingReads::reset(arxmod::IRefPtr<Cache> cache) {
  dropAll();
  cache_ = std::move(cache);
}

void PendingReads::pop() {
  listed_.erase(handles_.front());
  handles_.pop_front();
}

bool PendingReads::add(uint32_t handle) {
  if (!listed_.insert(handle).second)
    return false;
  handles_.push_back(handle);
  return true;
}

void PendingReads::dropAll() noexcept {
  if (cache_)
    for (const uint32_t handle : handles_)
      cache_->dropPendingRead(handle);
  handles_.clear();
  listed_.clear();
}

} // namespace XLARX
