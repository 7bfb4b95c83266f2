// SPXP_FbkModule: passes pulses of its Source on to its " Pulse Out"
// counter while Enable is on.
//
// Registers: inputs 0 Source (a pulse counter, required), 1 Enable; output
// " Pulse Out". A Feedback module is at level 0 of the calculation order
// (ModuleList.h): it runs before the modules that read its output, with
// the value its source had at the end of the previous pass, and so breaks
// loops of modules that feed each other.
#pragma once

#include "modules/ModuleBase.h"

namespace XLARX {

class SPXP_FbkModule final : public SPXP_ModuleBase {
public:
  static constexpr size_t kSourceInput = 0;
  static constexpr size_t kEnableInput = 1;

  using SPXP_ModuleBase::SPXP_ModuleBase;

  void validate(const arxmod::TreeReader &tree) override;
  void initialise(const arxmod::TreeReader &tree) override;
  void compute(const CalcPass &pass) override;

private:
  OutputRef pulseOut_;
  uint32_t count_ = 0;
  std::optional<uint32_t> sourceCount_;
};

} // namespace XLARX
