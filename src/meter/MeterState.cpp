// MeterState: circuit labels, mode and their change count per meter.
#include "meter/MeterState.h"

#include "base/DeviceRecords.h"

namespace XLARX {
namespace {

constinit arxmod::DeviceRecords<MeterState> meterStates;

} // namespace

bool MeterState::claimPeriodicRead(uint32_t now) {
  std::lock_guard guard(lock_);
  if (periodicReadDone_ && now - lastPeriodicRead_ <= kPeriodicReadIntervalMs)
    return false;
  periodicReadDone_ = true;
  lastPeriodicRead_ = now;
  return true;
}

void MeterState::updateLabels(std::array<std::string, 3> labels) {
  static constexpr std::string_view kUnset[] = {"M01", "M02", "M03"};
  for (size_t k = 0; k < labels.size(); ++k)
    if (labels[k].empty())
      labels[k] = kUnset[k];
  std::lock_guard guard(lock_);
  const auto label = [this](std::string_view key) -> std::string & {
    return phaseLabels_.find(key)->second;
  };
  if (labels[0] == label("A") && labels[1] == label("B") && labels[2] == label("C"))
    return;
  label("A") = label("AN") = labels[0];
  label("B") = label("BN") = labels[1];
  label("C") = label("CN") = labels[2];
  ++changeCount_;
}

void MeterState::updateMode(int16_t mode) {
  std::lock_guard guard(lock_);
  if (mode == mode_)
    return;
  mode_ = mode;
  ++changeCount_;
}

int16_t MeterState::mode() const {
  std::lock_guard guard(lock_);
  return mode_;
}

uint32_t MeterState::changeCount() const {
  std::lock_guard guard(lock_);
  return changeCount_;
}

std::optional<std::string> MeterState::phaseLabel(std::string_view key) const {
  std::lock_guard guard(lock_);
  const auto found = phaseLabels_.find(key);
  if (found == phaseLabels_.end())
    return std::nullopt;
  return found->second;
}

MeterState &meterState(uint32_t deviceId) { return meterStates.get(deviceId); }

void releaseMeterStates() { meterStates.release(); }

} // namespace XLARX
