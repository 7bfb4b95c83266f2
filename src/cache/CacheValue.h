// CacheValue: one handle's entry in a device's value cache: the last value
// read from the meter (or written by a virtual module), when it arrived,
// how old it may grow, and the flags that say how it is refreshed.
//
// A value owns a small arena of its own; storing a new value makes a new
// arena and drops the old one, so a value never holds on to memory of the
// call that produced it. Until the first store a value holds nothing, which
// reads see as the "No value received from device." exception (code 5).
//
// Flags (bit: meaning):
//   0x01 setup register            0x10 high-speed refresh group
//   0x02 setup of a calculated     0x20 low-speed refresh group
//        module                    0x40 refreshable: takes part in refreshing
//   0x04 served while not older    0x80 a read is under way in some call
//        than maxAge ("C" or "D")
//   0x08 "D": not refreshed for its age alone
//
// CacheValue is not locked: the Cache that holds it guards every access.
#pragma once

#include "base/RefBase.h"
#include "types/MemoryBlob.h"
#include "types/PICType.h"

#include <cstdint>
#include <memory>
#include <string_view>

namespace XLARX {

inline constexpr uint32_t kCacheSetupRegister = 0x01;
inline constexpr uint32_t kCacheModuleSetup = 0x02;
inline constexpr uint32_t kCacheServeWhileFresh = 0x04;
inline constexpr uint32_t kCacheOnDemand = 0x08;
inline constexpr uint32_t kCacheHighSpeed = 0x10;
inline constexpr uint32_t kCacheLowSpeed = 0x20;
inline constexpr uint32_t kCacheRefreshable = 0x40;
inline constexpr uint32_t kCachePending = 0x80;

// The shortest age limit a value is given, in milliseconds.
inline constexpr uint32_t kMinimumMaxAgeMs = 5000;

// What a value that never arrived reads as.
inline constexpr uint32_t kNoValueCode = 5;
inline constexpr std::string_view kNoValueText = "No value received from device.";

// Answers the methods other than value, time stamp and age for a value that
// carries it (virtual modules attach one). Called without the cache's lock.
class CacheValueHandler : public arxmod::RefBase {
public:
  virtual arxmod::PICType *answer(uint32_t handle, uint32_t method, arxmod::PICType *argument) = 0;
};

class CacheValue {
public:
  // Bytes of the arena a stored value gets: a number or a short text fits;
  // anything longer chains a second piece of its own size.
  static constexpr size_t kArenaSize = 128;

  // The stored value; nullptr until the first store.
  const arxmod::PICType *value() const { return value_; }
  bool received() const { return value_ != nullptr; }
  // Replaces the value by a copy of `result` in a new arena.
  void store(const arxmod::PICType &result, double timeStamp, uint32_t tick);
  // A copy of the value in `blob`; the no-value exception before the first store.
  arxmod::PICType *copyInto(arxmod::MemoryBlob &blob) const;

  // True when the value is older than `maxAgeMs` at tick `now`; a value
  // never stored is older than any age.
  bool olderThan(uint32_t maxAgeMs, uint32_t now) const {
    return !received() || static_cast<uint32_t>(now - updateTick_) > maxAgeMs;
  }

  double timeStamp() const { return timeStamp_; }
  uint32_t updateTick() const { return updateTick_; }
  // Moves the tick of the last update without a new value: a value derived
  // from another (a virtual module's output) ages with its source.
  void setUpdateTick(uint32_t tick) { updateTick_ = tick; }

  // Calls that have a read of this value under way; 0x80 is set while any has.
  void addPendingRead();
  void dropPendingRead();
  uint32_t pendingReads() const { return pendingReads_; }

  arxmod::IRefPtr<CacheValueHandler> handler;
  uint32_t maxAge = 0;         // milliseconds; 0: none
  uint32_t lowSpeedMarker = 0; // non-zero: refreshed with the low-speed group
  uint32_t flags = 0;

private:
  std::unique_ptr<arxmod::MemoryBlob> blob_; // holds value_
  const arxmod::PICType *value_ = nullptr;
  double timeStamp_ = 0.0;  // seconds since 1970-01-01 00:00 UTC, with the fraction
  uint32_t updateTick_ = 0; // tick count of the last store
  uint32_t pendingReads_ = 0;
};

} // namespace XLARX
