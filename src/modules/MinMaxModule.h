// SPXP_MinModule and SPXP_MaxModule: the lowest and the highest value that
// each of 16 channels has seen since the last reset.
//
// Registers: inputs 0 to 15 are the sources, 16 Enable, 17 Reset; outputs
// 0 to 15 hold the channels' values (" Minimum 1" ... or " Maximum 1" ...,
// numeric variable registers) and outputs 16 to 31 their trigger counters
// (" Trigger 1" ..., pulse registers); exactly 32 outputs.
//
// One pass: a Reset pulse makes every channel "not available" again and
// raises the "Reset"/"Pulsed" event; Enable turning off releases the
// module's interest in its sources and stops it, turning on takes the
// interest back; then every channel whose source holds a number beyond
// the channel's extreme takes it (the output gets the pass time, and ages
// with its source: its update tick is the source's) and counts one
// trigger. A source that holds no number is skipped for the pass.
#pragma once

#include "modules/ModuleBase.h"

#include <array>

namespace XLARX {

// What tells the two modules apart.
struct ExtremumKind {
  uint32_t classNumber;
  std::string_view valueLabel; // "Minimum" or "Maximum"
  bool keepsLowest;
  std::string_view invalidConfiguration;
  std::string_view outputsMissing;
  // The message for a missing channel register: `which` is the value label
  // or "Trigger", `channel` counts from 1.
  std::string (*channelMissing)(std::string_view which, unsigned channel);
};

class SPXP_ExtremumModule : public SPXP_ModuleBase {
public:
  static constexpr size_t kChannels = 16;
  static constexpr size_t kEnableInput = 16;
  static constexpr size_t kResetInput = 17;

  SPXP_ExtremumModule(const ExtremumKind &kind, const arxmod::ModuleObj &module,
                      arxmod::IRefPtr<ModuleDevice> device);

  void validate(const arxmod::TreeReader &tree) override;
  void initialise(const arxmod::TreeReader &tree) override;
  void compute(const CalcPass &pass) override;

private:
  double startValue() const;
  bool beyond(double value, double extreme) const {
    return kind_.keepsLowest ? value < extreme : value > extreme;
  }
  const ExtremumKind &kind_;
  std::array<OutputRef, kChannels> values_;   // outputs 0 to 15
  std::array<OutputRef, kChannels> triggers_; // outputs 16 to 31
  std::array<double, kChannels> extremes_{};
  std::array<uint32_t, kChannels> counts_{};
  std::optional<uint32_t> resetCount_;
};

class SPXP_MinModule final : public SPXP_ExtremumModule {
public:
  SPXP_MinModule(const arxmod::ModuleObj &module, arxmod::IRefPtr<ModuleDevice> device);
};

class SPXP_MaxModule final : public SPXP_ExtremumModule {
public:
  SPXP_MaxModule(const arxmod::ModuleObj &module, arxmod::IRefPtr<ModuleDevice> device);
};

} // namespace XLARX
