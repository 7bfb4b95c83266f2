// DeviceState: what the translator keeps of one device between Process
// calls: its tree, its map, its value cache, when its configuration last
// changed and when the meter last answered well.
//
// One state per device number lives from the first call for the device to
// the release at unload, in a process-wide dictionary whose lock is held
// only to find or create an entry. The state's own lock guards the three
// references, which every call copies at its start (a snapshot that holds
// for the whole call, even when another call replaces them meanwhile). A
// second lock serialises the check for changed files and the cache
// rebuild of one device; calls for other devices never wait on it. The two
// times are atomics, read and set by any call.
//
//   DeviceState &state = deviceState(12);
//   DeviceState::Snapshot now = state.snapshot();
#pragma once

#include "cache/Cache.h"
#include "map/TranslationMap.h"
#include "tree/TranslationTree.h"

#include <atomic>
#include <cstdint>
#include <mutex>

namespace XLARX {

class DeviceState {
public:
  struct Snapshot {
    arxmod::IRefPtr<arxmod::TranslationTree> tree;
    arxmod::IRefPtr<arxmod::TranslationMap> map;
    arxmod::IRefPtr<Cache> cache;
  };

  Snapshot snapshot() const;
  void store(Snapshot current);

  // Held across the change check of the files and the cache rebuild.
  std::mutex &updateLock() { return updateLock_; }

  // Seconds since 1970 of the last known configuration change; 0 at first.
  std::atomic<int64_t> configTime{0};
  // Tick count of the last good reply of the meter, while goodReplySeen.
  std::atomic<uint32_t> lastGoodTick{0};
  std::atomic<bool> goodReplySeen{false};

private:
  mutable std::mutex lock_; // guards current_
  Snapshot current_;
  std::mutex updateLock_;
};

// The state of `deviceId`, made on first use.
DeviceState &deviceState(uint32_t deviceId);
// Destroys every device's state (at unload, once no call runs); trees, maps
// and caches that something still holds live on with it.
void releaseDeviceStates();

} // namespace XLARX
