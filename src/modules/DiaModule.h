// SPXP_DiaModule: publishes the calculation statistics of its device and
// of the engine that runs it (CalcStatistics.h) in its outputs.
//
// Each output register whose name contains one of the statistic names
// ("NumCalcSecDevice", "LastCPUTimeThread", ...) receives that statistic
// as a number at every pass; other outputs are left alone. The statistics
// are those recorded up to the previous pass. Always valid.
#pragma once

#include "modules/ModuleBase.h"

#include <utility>
#include <vector>

namespace XLARX {

class SPXP_DiaModule final : public SPXP_ModuleBase {
public:
  using SPXP_ModuleBase::SPXP_ModuleBase;

  void initialise(const arxmod::TreeReader &tree) override;
  void compute(const CalcPass &pass) override;

private:
  // (output register, index into statisticNames())
  std::vector<std::pair<OutputRef, size_t>> published_;
};

} // namespace XLARX
