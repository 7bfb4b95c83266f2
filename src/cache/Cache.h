// XLARX::Cache: the value cache of one device, so that most reads of mapped
// registers are answered without asking the meter.
//
// The cache holds one CacheValue per handle it was built with (see
// CacheBuild.h), the refresh order (the handles in the order they were
// added, every reference before the entries that use it), and when the
// high-speed and low-speed refresh groups are next due. A cache is replaced
// whole when the device's map or tree changes; values are not carried over.
//
// Every operation takes the cache's own lock, which guards the dictionary,
// the values, the order and the due times; it is never held while a caller
// is called back (a value's handler runs after it is released), so code
// that answers one invocation may read the cache again freely. Process
// threads and the calculation threads of the virtual modules share it.
//
// Reads that a call has under way are tracked per call (PendingReads); a
// value's 0x80 flag is set while any call has one. Two calls for the same
// device therefore never take each other's reads: each stores the replies
// it received itself.
//
//   IRefPtr<Cache> cache = buildCache(*map, tree, "Feeder 7", 12);
//   if (PICType *value = cache->readCached(handle, 21, argument, kCacheRefreshable)) ...
#pragma once

#include "cache/CacheValue.h"
#include "tree/TranslationTree.h"

#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace XLARX {

class PendingReads;

class Cache : public arxmod::RefBase {
public:
  Cache(arxmod::IRefPtr<arxmod::TranslationTree> tree, std::string deviceName, uint32_t deviceId);

  const arxmod::IRefPtr<arxmod::TranslationTree> &tree() const { return tree_; }
  const std::string &deviceName() const { return deviceName_; }
  uint32_t deviceId() const { return deviceId_; }

  // Adds `handle`: an existing value gains `flags`; a missing one is made
  // first when `create` is true, else nothing happens. A non-zero `maxAge`
  // replaces a value's limit when it has none or a larger one, and is
  // raised to kMinimumMaxAgeMs. True when a new value was made.
  bool addHandle(uint32_t handle, bool create, uint32_t flags, uint32_t maxAge);
  // Appends a handle that has a value to the refresh order.
  void appendToRefreshOrder(uint32_t handle);
  size_t size() const;
  // The handles of the refresh order, in order.
  std::vector<uint32_t> refreshOrder() const;
  std::optional<uint32_t> flagsOf(uint32_t handle) const;
  // Attach a per-value handler, or set the low-speed marker, of a value
  // that exists (the virtual modules decide which); nothing otherwise.
  void setHandler(uint32_t handle, arxmod::IRefPtr<CacheValueHandler> handler);
  void setLowSpeedMarker(uint32_t handle, uint32_t marker);

  // The cached answer to `method` on `handle`, in the argument's arena, or
  // nullptr. Only a value that has one of `requiredFlags`, or is served
  // while fresh (0x04), answers, unless `requiredFlags` is 0. Method 21:
  // a copy of the value; 20: its time stamp (Float64Type, seconds since
  // 1970); 23: whole seconds since its last update; any other method: the
  // value's handler, when it has one.
  arxmod::PICType *readCached(uint32_t handle, uint32_t method, arxmod::PICType *argument,
                              uint32_t requiredFlags) const;

  // Whether a client's invocation on `handle` needs the meter at tick `now`.
  enum class ReadNeed {
    NotCached, // the handle has no value: the call reads the meter itself
    Stands,    // the cached value answers (not refreshable, or served while fresh)
    Due,       // refreshable and stale: now pending in `pending`
  };
  ReadNeed checkRead(uint32_t handle, uint32_t now, PendingReads &pending);
  // True when `handle` has a value not older than its own maxAge.
  bool isFresh(uint32_t handle, uint32_t now) const;
  // Marks a read of `handle` pending in `pending` (once per call); nothing
  // for a handle without value.
  void markPending(uint32_t handle, PendingReads &pending);

  // Refresh groups due at tick `now` (both are due before the first refresh).
  struct DueGroups {
    bool high = false;
    bool low = false;
  };
  DueGroups dueGroups(uint32_t now) const;
  // Appends to `queue`, in refresh order, every refreshable value that is
  // due: one the due high-speed group holds, one the due low-speed group
  // holds with its low-speed marker set, or one older than its maxAge that
  // is not "D". Values that another read has under way, and those `skip`
  // names, are left out. Each queued value is marked pending in `pending`.
  void collectDue(uint32_t now, DueGroups due, const std::function<bool(uint32_t)> &skip,
                  PendingReads &pending, std::vector<uint32_t> &queue);
  // A refresh that started at tick `now` has completed: each group whose due
  // time had passed is next due a period later.
  void finishRefresh(uint32_t now, uint32_t lowPeriodMs, uint32_t highPeriodMs);

  // Ends a pending read of `handle`. With a `result`, a copy becomes the
  // value with `timeStamp` and `tick`; true when the value is a setup
  // register whose value changed (or arrived for the first time).
  bool finishRead(uint32_t handle, const arxmod::PICType *result, double timeStamp, uint32_t tick);
  // Ends a pending read without a result.
  void dropPendingRead(uint32_t handle);

  // The cache's lock held for a series of reads and writes of values, as a
  // virtual module's pass makes them. While an Access lives, its thread
  // must call no other operation of the same cache (the lock is not
  // re-entrant), and pointers it hands out are valid only until it ends.
  //
  //   Cache::Access values = cache->access();
  //   if (const CacheValue *source = values.find(input)) ...
  //   values.obtain(output, kCacheServeWhileFresh).store(*result, time, tick);
  class Access {
  public:
    explicit Access(Cache &cache) : lock_(cache.mutex_), cache_(cache) {}

    CacheValue *find(uint32_t handle) { return cache_.find(handle); }
    // The value of `handle`, made first when missing; `flags` are added.
    CacheValue &obtain(uint32_t handle, uint32_t flags);

  private:
    std::unique_lock<std::mutex> lock_;
    Cache &cache_;
  };
  Access access() { return Access(*this); }

private:
  const CacheValue *find(uint32_t handle) const;
  CacheValue *find(uint32_t handle);
  void markPendingLocked(uint32_t handle, CacheValue &value, PendingReads &pending);

  mutable std::mutex mutex_; // guards everything below
  std::unordered_map<uint32_t, CacheValue> values_;
  // Handle and value in insertion order; values never move once made.
  std::vector<std::pair<uint32_t, CacheValue *>> refreshOrder_;
  uint32_t nextLowSpeed_ = 0;  // tick count; meaningful once lowScheduled_
  uint32_t nextHighSpeed_ = 0; // tick count; meaningful once highScheduled_
  bool lowScheduled_ = false;
  bool highScheduled_ = false;

  const arxmod::IRefPtr<arxmod::TranslationTree> tree_;
  const std::string deviceName_;
  const uint32_t deviceId_;
};

} // namespace XLARX
