// SPXP_PerModule: checks, first values and passes.
#include "modules/PerModule.h"

#include "modules/InputValidation.h"
#include "modules/SetupValues.h"

#include <cmath>

namespace XLARX {

namespace {

constexpr uint32_t kInputRegisters[] = {0, 1}; // Enable, Sync
constexpr InputLayout kInputs{kInputRegisters, {}};

} // namespace

void SPXP_PerModule::validate(const arxmod::TreeReader &tree) {
  if (!checkModuleInputs(tree.find(handle()), kInputs, tree))
    refuse("Invalid module configuration for PeriodicTimer Module");
  const arxmod::RegisterObj *period = findOutputRegister(" Period", tree);
  if (!period)
    refuse("Required setup register (Period) missing for PeriodicTimer Module");
  // A period below 0 would count backwards; it is refused like 0.
  const std::optional<double> seconds = setupNumber(period->handle(), *device().cache, tree);
  if (!seconds || !(*seconds > 0))
    refuse("Invalid register value (Period) for PeriodicTimer Module");
  period_ = *seconds;
  const arxmod::RegisterObj *mode = findOutputRegister(" Sync Mode", tree);
  if (!mode)
    refuse("Required setup register (Sync Mode) missing for PeriodicTimer Module");
  const std::string text = setupText(mode->handle(), *device().cache, tree).value_or("");
  if (text.find("Trigger on Sync") != std::string::npos)
    triggerOnSync_ = true;
  else if (text.find("No Trig on Sync") != std::string::npos)
    triggerOnSync_ = false;
  else
    refuse("Invalid register value (Sync Mode) for PeriodicTimer Module");
  const arxmod::RegisterObj *trigger = findOutputRegister(" Trigger", tree);
  if (!trigger)
    refuse("Required output register (Trigger) missing for PeriodicTimer Module");
  trigger_.handle = trigger->handle();
}

void SPXP_PerModule::initialise(const arxmod::TreeReader &tree) {
  readEventPriority(tree);
  storeCounter(trigger_, 0, initialPass());
}

double SPXP_PerModule::dueAfter(double now) const {
  if (inputHasValue(kSyncInput))
    return now + period_;
  return now + period_ - std::fmod(now, period_);
}

void SPXP_PerModule::fire(const CalcPass &pass) { storeCounter(trigger_, ++count_, pass); }

void SPXP_PerModule::compute(const CalcPass &pass) {
  const bool synced = pulseInput(kSyncInput, syncCount_, false);
  if (!booleanInput(kEnableInput)) {
    running_ = false;
    return;
  }
  const double now = pass.time;
  if (!running_ || now < lastTime_ || synced)
    due_ = dueAfter(now);
  running_ = true;
  lastTime_ = now;
  if (synced) {
    raiseEvent(eventPriority(), inputHandle(kSyncInput), "Sync", "Pulsed", pass);
    if (triggerOnSync_)
      fire(pass);
  }
  if (now < due_)
    return;
  fire(pass);
  due_ += period_;
  if (due_ <= now)
    due_ = dueAfter(now);
}

} // namespace XLARX
