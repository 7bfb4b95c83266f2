// PendingReads: the reads of cached values that one Process call has under
// way, in the order they were marked.
//
// A call marks a value pending when it asks the meter for it, and stores
// the reply into the cache after the exchange (finishing each read in
// order). The list belongs to the call, not to the cache, so that two calls
// for one device each store what they themselves received; the cache only
// counts how many calls have a read of a value under way (its 0x80 flag).
// Whatever is still listed when the list is destroyed or reset, a call
// ended by an exception for instance, is dropped from those counts.
//
//   PendingReads pending(cache);
//   cache->markPending(handle, pending);
//   ... exchange ...
//   while (!pending.empty()) {
//     cache->finishRead(pending.front(), result, stamp, tick);
//     pending.pop();
//   }
#pragma once

#include "base/RefBase.h"

#include <cstdint>
#include <deque>
#include <unordered_set>

namespace XLARX {

class Cache;

class PendingReads {
public:
  PendingReads() = default;
  explicit PendingReads(arxmod::IRefPtr<Cache> cache) : cache_(std::move(cache)) {}
  ~PendingReads() { dropAll(); }
  PendingReads(const PendingReads &) = delete;
  PendingReads &operator=(const PendingReads &) = delete;

  // Drops every listed read and follows `cache` from now on.
  void reset(arxmod::IRefPtr<Cache> cache);

  bool empty() const { return handles_.empty(); }
  size_t size() const { return handles_.size(); }
  bool contains(uint32_t handle) const { return listed_.contains(handle); }
  // The oldest listed read; the caller finishes it with the cache, then pops it.
  uint32_t front() const { return handles_.front(); }
  void pop();

private:
  friend class Cache;
  // Lists `handle`; false when it is listed already.
  bool add(uint32_t handle);
  void dropAll() noexcept;

  arxmod::IRefPtr<Cache> cache_;
  std::deque<uint32_t> handles_;
  std::unordered_set<uint32_t> listed_;
};

} // namespace XLARX
