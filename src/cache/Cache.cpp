// XLARX::Cache: values, reads and the refresh schedule of one device.
#include "cache/Cache.h"

#include "base/Clock.h"
#include "cache/PendingReads.h"
#include "types/NumericTypes.h"

namespace XLARX {

using arxmod::PICType;

namespace {

// True when a group scheduled for tick `next` is due at tick `now`.
bool groupDue(bool scheduled, uint32_t next, uint32_t now) {
  return !scheduled || static_cast<int32_t>(now - next) > 0;
}

} // namespace

Cache::Cache(arxmod::IRefPtr<arxmod::TranslationTree> tree, std::string deviceName,
             uint32_t deviceId)
    : tree_(std::move(tree)), deviceName_(std::move(deviceName)), deviceId_(deviceId) {}

const CacheValue *Cache::find(uint32_t handle) const {
  const auto found = values_.find(handle);
  return found == values_.end() ? nullptr : &found->second;
}

CacheValue *Cache::find(uint32_t handle) {
  const auto found = values_.find(handle);
  return found == values_.end() ? nullptr : &found->second;
}

bool Cache::addHandle(uint32_t handle, bool create, uint32_t flags, uint32_t maxAge) {
  std::lock_guard guard(mutex_);
  CacheValue *value = find(handle);
  const bool made = !value && create;
  if (made)
    value = &values_[handle];
  if (!value)
    return false;
  value->flags |= flags;
  if (maxAge != 0 && (value->maxAge == 0 || value->maxAge > maxAge))
    value->maxAge = std::max(maxAge, kMinimumMaxAgeMs);
  return made;
}

void Cache::appendToRefreshOrder(uint32_t handle) {
  std::lock_guard guard(mutex_);
  if (CacheValue *value = find(handle))
    refreshOrder_.emplace_back(handle, value);
}

size_t Cache::size() const {
  std::lock_guard guard(mutex_);
  return values_.size();
}

std::vector<uint32_t> Cache::refreshOrder() const {
  std::lock_guard guard(mutex_);
  std::vector<uint32_t> handles;
  handles.reserve(refreshOrder_.size());
  for (const auto &[handle, value] : refreshOrder_)
    handles.push_back(handle);
  return handles;
}

std::optional<uint32_t> Cache::flagsOf(uint32_t handle) const {
  std::lock_guard guard(mutex_);
  const CacheValue *value = find(handle);
  return value ? std::optional(value->flags) : std::nullopt;
}

void Cache::setHandler(uint32_t handle, arxmod::IRefPtr<CacheValueHandler> handler) {
  std::lock_guard guard(mutex_);
  if (CacheValue *value = find(handle))
    value->handler = std::move(handler);
}

void Cache::setLowSpeedMarker(uint32_t handle, uint32_t marker) {
  std::lock_guard guard(mutex_);
  if (CacheValue *value = find(handle))
    value->lowSpeedMarker = marker;
}

PICType *Cache::readCached(uint32_t handle, uint32_t method, PICType *argument,
                           uint32_t requiredFlags) const {
  arxmod::MemoryBlob &blob = argument->blob();
  arxmod::IRefPtr<CacheValueHandler> handler;
  {
    std::lock_guard guard(mutex_);
    const CacheValue *value = find(handle);
    if (!value)
      return nullptr;
    if (requiredFlags != 0 && !(value->flags & (kCacheServeWhileFresh | requiredFlags)))
      return nullptr;
    switch (method) {
    case 21:
      return value->copyInto(blob);
    case 20:
      return value->received() ? blob.make<arxmod::Float64Type>(value->timeStamp()) : nullptr;
    case 23: {
      if (!value->received())
        return nullptr;
      const uint32_t elapsed = arxmod::currentClock().tickNow() - value->updateTick();
      return blob.make<arxmod::Float64Type>(static_cast<double>(elapsed / 1000));
    }
    default:
      handler = value->handler;
    }
  }
  return handler ? handler->answer(handle, method, argument) : nullptr;
}

Cache::ReadNeed Cache::checkRead(uint32_t handle, uint32_t now, PendingReads &pending) {
  std::lock_guard guard(mutex_);
  CacheValue *value = find(handle);
  if (!value)
    return ReadNeed::NotCached;
  if (!(value->flags & kCacheRefreshable))
    return ReadNeed::Stands;
  if ((value->flags & (kCacheServeWhileFresh | kCacheOnDemand)) &&
      !value->olderThan(value->maxAge, now))
    return ReadNeed::Stands;
  markPendingLocked(handle, *value, pending);
  return ReadNeed::Due;
}

bool Cache::isFresh(uint32_t handle, uint32_t now) const {
  std::lock_guard guard(mutex_);
  const CacheValue *value = find(handle);
  return value && !value->olderThan(value->maxAge, now);
}

void Cache::markPending(uint32_t handle, PendingReads &pending) {
  std::lock_guard guard(mutex_);
  if (CacheValue *value = find(handle))
    markPendingLocked(handle, *value, pending);
}

void Cache::markPendingLocked(uint32_t handle, CacheValue &value, PendingReads &pending) {
  if (pending.add(handle))
    value.addPendingRead();
}

Cache::DueGroups Cache::dueGroups(uint32_t now) const {
  std::lock_guard guard(mutex_);
  return {groupDue(highScheduled_, nextHighSpeed_, now),
          groupDue(lowScheduled_, nextLowSpeed_, now)};
}

void Cache::collectDue(uint32_t now, DueGroups due, const std::function<bool(uint32_t)> &skip,
                       PendingReads &pending, std::vector<uint32_t> &queue) {
  std::lock_guard guard(mutex_);
  for (const auto &[handle, value] : refreshOrder_) {
    const uint32_t flags = value->flags;
    if (!(flags & kCacheRefreshable) || value->pendingReads() > 0)
      continue;
    const bool isDue = (due.high && (flags & kCacheHighSpeed)) ||
                       (due.low && (flags & kCacheLowSpeed) && value->lowSpeedMarker != 0) ||
                       (!(flags & kCacheOnDemand) && value->olderThan(value->maxAge, now));
    if (!isDue || skip(handle))
      continue;
    markPendingLocked(handle, *value, pending);
    queue.push_back(handle);
  }
}

void Cache::finishRefresh(uint32_t now, uint32_t lowPeriodMs, uint32_t highPeriodMs) {
  std::lock_guard guard(mutex_);
  if (groupDue(lowScheduled_, nextLowSpeed_, now)) {
    nextLowSpeed_ = now + lowPeriodMs;
    lowScheduled_ = true;
  }
  if (groupDue(highScheduled_, nextHighSpeed_, now)) {
    nextHighSpeed_ = now + highPeriodMs;
    highScheduled_ = true;
  }
}

bool Cache::finishRead(uint32_t handle, const PICType *result, double timeStamp, uint32_t tick) {
  std::lock_guard guard(mutex_);
  CacheValue *value = find(handle);
  if (!value)
    return false;
  bool setupChanged = false;
  if (result) {
    setupChanged = (value->flags & kCacheSetupRegister) &&
                   (!value->received() || value->value()->differs(*result));
    value->store(*result, timeStamp, tick);
  }
  value->dropPendingRead();
  return setupChanged;
}

CacheValue &Cache::Access::obtain(uint32_t handle, uint32_t flags) {
  CacheValue &value = cache_.values_[handle];
  value.flags |= flags;
  return value;
}

void Cache::dropPendingRead(uint32_t handle) {
  std::lock_guard guard(mutex_);
  if (CacheValue *value = find(handle))
    value->dropPendingRead();
}

} // namespace XLARX
