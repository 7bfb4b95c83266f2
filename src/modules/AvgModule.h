// SPXP_AvgModule: the average, or the root mean square, of each of 16
// channels since the last reset.
//
// Registers: inputs 0 to 15 are the sources, 16 Enable, 17 Reset, 18
// Operate Now; outputs " Value 1" ... " Value 16"; setup " Calc Mode",
// whose value names "Average Mode" or "RMS Mode".
//
// One pass: a Reset pulse clears every sum and count, makes the outputs
// "not available" and raises the "Reset"/"Pulsed" event; with Enable on
// and Operate Now pulsed (a missing Operate Now counts as pulsed), each
// channel whose source holds a number adds it (or its square) to its sum
// and counts it, and its output becomes sum / count (or its square root).
#pragma once

#include "modules/ModuleBase.h"

#include <array>

namespace XLARX {

class SPXP_AvgModule final : public SPXP_ModuleBase {
public:
  static constexpr size_t kChannels = 16;
  static constexpr size_t kEnableInput = 16;
  static constexpr size_t kResetInput = 17;
  static constexpr size_t kOperateNowInput = 18;

  using SPXP_ModuleBase::SPXP_ModuleBase;

  void validate(const arxmod::TreeReader &tree) override;
  void initialise(const arxmod::TreeReader &tree) override;
  void compute(const CalcPass &pass) override;

private:
  bool rootMeanSquare_ = false;
  std::array<OutputRef, kChannels> valueOutputs_;
  std::array<double, kChannels> sums_{};
  std::array<uint64_t, kChannels> counts_{};
  std::optional<uint32_t> resetCount_;
  std::optional<uint32_t> operateCount_;
};

} // namespace XLARX
