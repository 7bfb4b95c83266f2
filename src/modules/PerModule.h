// SPXP_PerModule: a periodic timer that counts a trigger every Period
// seconds while it is enabled.
//
// Registers: inputs 0 Enable, 1 Sync; setups " Period" (seconds, a number
// above 0) and " Sync Mode" ("Trigger on Sync": mode 0, "No Trig on Sync":
// mode 1); output " Trigger" (the pulse counter).
//
// Due times. Without a value at the Sync input the timer keeps to the
// wall clock: it fires at every multiple of the period since 1970 (period
// 900: every quarter hour of UTC time). With a Sync value it keeps to the
// last sync: it fires a period after each sync, and every period after
// that. The due time is worked out afresh when the timer is enabled, when
// the wall clock went back, and at every Sync pulse; a Sync pulse also
// raises the "Sync"/"Pulsed" event and, in mode 0, fires at once. After a
// firing the next due time is a period later, or the next multiple of the
// period after now when the clock jumped further than that.
#pragma once

#include "modules/ModuleBase.h"

namespace XLARX {

class SPXP_PerModule final : public SPXP_ModuleBase {
public:
  static constexpr size_t kEnableInput = 0;
  static constexpr size_t kSyncInput = 1;

  using SPXP_ModuleBase::SPXP_ModuleBase;

  void validate(const arxmod::TreeReader &tree) override;
  void initialise(const arxmod::TreeReader &tree) override;
  void compute(const CalcPass &pass) override;

private:
  // The first due time after `now`.
  double dueAfter(double now) const;
  void fire(const CalcPass &pass);

  double period_ = 0;         // seconds, above 0
  bool triggerOnSync_ = true; // mode 0
  OutputRef trigger_;
  uint32_t count_ = 0;
  bool running_ = false; // enabled at the last pass
  double due_ = 0;       // seconds since 1970
  double lastTime_ = 0;  // of the last pass
  std::optional<uint32_t> syncCount_;
};

} // namespace XLARX
