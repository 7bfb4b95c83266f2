// SPXP_MinModule and SPXP_MaxModule: checks, first values and passes.
#include "modules/MinMaxModule.h"

#include "modules/InputValidation.h"

#include <limits>

namespace XLARX {

namespace {

constexpr uint32_t kNumericVariableClass = 25;
constexpr uint32_t kPulseClass = 26;

// 16 sources, Enable, Reset; the first source must have a handle.
constexpr uint32_t kInputRegisters[] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2};
constexpr size_t kRequiredInputs[] = {0};
constexpr InputLayout kInputs{kInputRegisters, kRequiredInputs};

const ExtremumKind kMinimum{511,
                            "Minimum",
                            true,
                            "Invalid module configuration for Minimum Module",
                            "One or more required output registers missing for Minimum Module",
                            [](std::string_view which, unsigned channel) {
                              return "Required output register (" + std::string(which) + " " +
                                     std::to_string(channel) + ") missing for Minimum Module";
                            }};

const ExtremumKind kMaximum{512,
                            "Maximum",
                            false,
                            "Invalid module configuration for Maximum Module",
                            "One or more required output registers missing for Maximum Module",
                            [](std::string_view which, unsigned channel) {
                              return "Required output register missing (" + std::string(which) +
                                     " " + std::to_string(channel) + ") for Maximum Module";
                            }};

} // namespace

SPXP_ExtremumModule::SPXP_ExtremumModule(const ExtremumKind &kind, const arxmod::ModuleObj &module,
                                         arxmod::IRefPtr<ModuleDevice> device)
    : SPXP_ModuleBase(module, std::move(device)), kind_(kind) {}

SPXP_MinModule::SPXP_MinModule(const arxmod::ModuleObj &module,
                               arxmod::IRefPtr<ModuleDevice> device)
    : SPXP_ExtremumModule(kMinimum, module, std::move(device)) {}

SPXP_MaxModule::SPXP_MaxModule(const arxmod::ModuleObj &module,
                               arxmod::IRefPtr<ModuleDevice> device)
    : SPXP_ExtremumModule(kMaximum, module, std::move(device)) {}

double SPXP_ExtremumModule::startValue() const {
  return kind_.keepsLowest ? std::numeric_limits<double>::max()
                           : std::numeric_limits<double>::lowest();
}

void SPXP_ExtremumModule::validate(const arxmod::TreeReader &tree) {
  if (!checkModuleInputs(tree.find(handle()), kInputs, tree))
    refuse(kind_.invalidConfiguration);
  if (outputs().size() != 2 * kChannels)
    refuse(kind_.outputsMissing);
  const std::string valueLabel = " " + std::string(kind_.valueLabel) + " ";
  for (unsigned channel = 1; channel <= kChannels; ++channel) {
    const arxmod::RegisterObj *value =
        findOutputRegister(valueLabel + std::to_string(channel), tree);
    if (!value || value->classNumber() != kNumericVariableClass ||
        value->handle() != outputs()[channel - 1])
      refuse(kind_.channelMissing(kind_.valueLabel, channel));
    const arxmod::RegisterObj *trigger =
        findOutputRegister(" Trigger " + std::to_string(channel), tree);
    if (!trigger || trigger->classNumber() != kPulseClass ||
        trigger->handle() != outputs()[kChannels + channel - 1])
      refuse(kind_.channelMissing("Trigger", channel));
    values_[channel - 1].handle = value->handle();
    triggers_[channel - 1].handle = trigger->handle();
  }
}

void SPXP_ExtremumModule::initialise(const arxmod::TreeReader &tree) {
  readEventPriority(tree);
  addSourcesToCache(kChannels);
  const CalcPass pass = initialPass();
  Cache::Access values = device().cache->access();
  for (size_t channel = 0; channel < kChannels; ++channel) {
    extremes_[channel] = startValue();
    counts_[channel] = 0;
    storeLocked(values, values_[channel], notAvailable(), pass.time, pass.tick);
    storeLocked(values, triggers_[channel], counterValue(0), pass.time, pass.tick);
  }
}

void SPXP_ExtremumModule::compute(const CalcPass &pass) {
  if (pulseInput(kResetInput, resetCount_, false)) {
    extremes_.fill(startValue());
    announceReset(values_, kResetInput, pass);
  }
  if (!followEnable(kEnableInput, kChannels))
    return;
  Cache::Access values = device().cache->access();
  for (size_t channel = 0; channel < kChannels; ++channel) {
    const std::optional<SourceNumber> source = sourceNumber(values, channel);
    if (!source)
      continue;
    CacheValue &output = outputValue(values, values_[channel]);
    const double value = source->number.asDouble();
    if (!beyond(value, extremes_[channel])) {
      output.setUpdateTick(source->entry.updateTick());
      continue;
    }
    extremes_[channel] = value;
    output.store(source->number, pass.time, source->entry.updateTick());
    storeLocked(values, triggers_[channel], counterValue(++counts_[channel]), pass.time, pass.tick);
  }
}

} // namespace XLARX
