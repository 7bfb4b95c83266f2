// CacheValue: storing and copying one cached value.
#include "cache/CacheValue.h"

#include "types/StructureTypes.h"

namespace XLARX {

void CacheValue::store(const arxmod::PICType &result, double timeStamp, uint32_t tick) {
  // Copy first: a failed copy leaves the previous value in place.
  auto blob = std::make_unique<arxmod::MemoryBlob>(kArenaSize);
  const arxmod::PICType *copy = result.duplicate(*blob);
  blob_ = std::move(blob);
  value_ = copy;
  timeStamp_ = timeStamp;
  updateTick_ = tick;
}

arxmod::PICType *CacheValue::copyInto(arxmod::MemoryBlob &blob) const {
  if (!value_)
    return blob.make<arxmod::ExceptionType>(kNoValueCode, kNoValueText);
  return value_->duplicate(blob);
}

void CacheValue::addPendingRead() {
  ++pendingReads_;
  flags |= kCachePending;
}

void CacheValue::dropPendingRead() {
  if (pendingReads_ > 0 && --pendingReads_ == 0)
    flags &= ~kCachePending;
}

} // namespace XLARX
