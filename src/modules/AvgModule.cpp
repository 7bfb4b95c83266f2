// SPXP_AvgModule: checks, first values and passes.
#include "modules/AvgModule.h"

#include "modules/InputValidation.h"
#include "modules/SetupValues.h"

#include <cmath>

namespace XLARX {

namespace {

// 16 sources, Enable, Reset, Operate Now; the first source must have a handle.
constexpr uint32_t kInputRegisters[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3};
constexpr size_t kRequiredInputs[] = {0};
constexpr InputLayout kInputs{kInputRegisters, kRequiredInputs};

} // namespace

void SPXP_AvgModule::validate(const arxmod::TreeReader &tree) {
  if (!checkModuleInputs(tree.find(handle()), kInputs, tree))
    refuse("Invalid module configuration for Averaging Module");
  const arxmod::RegisterObj *mode = findOutputRegister(" Calc Mode", tree);
  if (!mode)
    refuse("Required setup register missing for Averaging Module");
  const std::string text = setupText(mode->handle(), *device().cache, tree).value_or("");
  if (text.find("RMS Mode") != std::string::npos)
    rootMeanSquare_ = true;
  else if (text.find("Average Mode") == std::string::npos)
    refuse("Invalid register value (Calc Mode) for Averaging Module");
  if (outputs().size() < kChannels)
    refuse("One or more required output registers missing for Averaging Module");
  for (size_t channel = 0; channel < kChannels; ++channel) {
    const std::string number = std::to_string(channel + 1);
    const arxmod::RegisterObj *value = findOutputRegister(" Value " + number, tree);
    if (!value)
      refuse("Required output register (Value " + number + ")missing for Averaging Module");
    valueOutputs_[channel].handle = value->handle();
  }
}

void SPXP_AvgModule::initialise(const arxmod::TreeReader &tree) {
  readEventPriority(tree);
  addSourcesToCache(kChannels);
  const CalcPass pass = initialPass();
  Cache::Access values = device().cache->access();
  for (OutputRef &output : valueOutputs_)
    storeLocked(values, output, notAvailable(), pass.time, pass.tick);
}

void SPXP_AvgModule::compute(const CalcPass &pass) {
  if (pulseInput(kResetInput, resetCount_, false)) {
    sums_.fill(0);
    counts_.fill(0);
    announceReset(valueOutputs_, kResetInput, pass);
  }
  const bool enabled = followEnable(kEnableInput, kChannels);
  const bool operateNow = pulseInput(kOperateNowInput, operateCount_, true);
  if (!enabled || !operateNow)
    return;
  Cache::Access values = device().cache->access();
  for (size_t channel = 0; channel < kChannels; ++channel) {
    const std::optional<SourceNumber> source = sourceNumber(values, channel);
    if (!source)
      continue;
    const double value = source->number.asDouble();
    sums_[channel] += rootMeanSquare_ ? value * value : value;
    const double mean = sums_[channel] / static_cast<double>(++counts_[channel]);
    storeLocked(values, valueOutputs_[channel],
                numberValue(rootMeanSquare_ ? std::sqrt(mean) : mean), pass.time, pass.tick);
  }
}

} // namespace XLARX
