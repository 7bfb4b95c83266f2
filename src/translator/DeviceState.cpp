// DeviceState: the per-device records and their process-wide dictionary.
#include "translator/DeviceState.h"

#include "base/ProcessSingleton.h"

#include <memory>
#include <unordered_map>

namespace XLARX {
namespace {

struct DeviceStates {
  std::mutex lock; // held only to find or create a state
  std::unordered_map<uint32_t, std::unique_ptr<DeviceState>> states;
};

constinit arxmod::ProcessSingleton<DeviceStates> deviceStates;

} // namespace

DeviceState::Snapshot DeviceState::snapshot() const {
  std::lock_guard guard(lock_);
  return current_;
}

void DeviceState::store(Snapshot current) {
  std::lock_guard guard(lock_);
  current_ = std::move(current);
}

DeviceState &deviceState(uint32_t deviceId) {
  DeviceStates &all = deviceStates.get();
  std::lock_guard guard(all.lock);
  std::unique_ptr<DeviceState> &state = all.states[deviceId];
  if (!state)
    state = std::make_unique<DeviceState>();
  return *state;
}

void releaseDeviceStates() { deviceStates.release(); }

} // namespace XLARX
