// SPXP_FbkModule: checks, first values and passes.
#include "modules/FbkModule.h"

#include "modules/InputValidation.h"

namespace XLARX {

namespace {

constexpr uint32_t kInputRegisters[] = {0, 1}; // Source, Enable
constexpr size_t kRequiredInputs[] = {0};
constexpr InputLayout kInputs{kInputRegisters, kRequiredInputs};

} // namespace

void SPXP_FbkModule::validate(const arxmod::TreeReader &tree) {
  if (!checkModuleInputs(tree.find(handle()), kInputs, tree))
    refuse("Invalid module configuration for Feedback Module");
  if (outputs().empty())
    refuse("One or more required output registers missing for Feedback Module");
  const arxmod::RegisterObj *pulseOut = findOutputRegister(" Pulse Out", tree);
  if (!pulseOut)
    refuse("Required output register missing for Feedback Module");
  pulseOut_.handle = pulseOut->handle();
}

void SPXP_FbkModule::initialise(const arxmod::TreeReader &) {
  storeCounter(pulseOut_, 0, initialPass());
}

void SPXP_FbkModule::compute(const CalcPass &pass) {
  const bool pulsed = pulseInput(kSourceInput, sourceCount_, false);
  if (pulsed && booleanInput(kEnableInput))
    storeCounter(pulseOut_, ++count_, pass);
}

} // namespace XLARX
