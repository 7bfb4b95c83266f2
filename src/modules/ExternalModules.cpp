// The external pulse, boolean and numeric modules: their first values and
// the client writes they take.
#include "modules/ExternalModules.h"

#include "modules/SetupValues.h"
#include "tree/TreeFormat.h"

namespace XLARX {

namespace {

std::string_view controlLabel(SPXP_ExternalModule::Kind kind) {
  switch (kind) {
  case SPXP_ExternalModule::Kind::Pulse:
    return " Trigger";
  case SPXP_ExternalModule::Kind::Boolean:
    return " Switch";
  case SPXP_ExternalModule::Kind::Numeric:
    break;
  }
  return " Number";
}

} // namespace

SPXP_ExternalModule::SPXP_ExternalModule(Kind kind, const arxmod::ModuleObj &module,
                                         arxmod::IRefPtr<ModuleDevice> device)
    : SPXP_ModuleBase(module, std::move(device)), kind_(kind) {}

void SPXP_ExternalModule::initialise(const arxmod::TreeReader &tree) {
  readEventPriority(tree);
  if (const arxmod::RegisterObj *control = findOutputRegister(controlLabel(kind_), tree))
    control_.handle = control->handle();
  else if (!outputs().empty())
    control_.handle = outputs().front();
  if (control_.handle == 0)
    return;
  const CalcPass pass = initialPass();
  const std::optional<double> start = setupNumber(control_.handle, *device().cache, tree);
  switch (kind_) {
  case Kind::Pulse:
    pulses_ = setupUnsigned(control_.handle, *device().cache, tree).value_or(0);
    storeCounter(control_, pulses_, pass);
    break;
  case Kind::Boolean:
    storeBoolean(control_, start.value_or(0) != 0, pass);
    break;
  case Kind::Numeric:
    if (start)
      storeNumber(control_, *start, pass);
    else
      storeNotAvailable(control_, pass);
    break;
  }
}

const arxmod::NumericType &SPXP_ExternalModule::numberWritten(const arxmod::PICType &value) const {
  const auto *number = dynamic_cast<const arxmod::NumericType *>(&value);
  if (!number)
    throw ControlWriteRefused("Value written to register " + arxmod::handleText(control_.handle) +
                              " of virtual module " + arxmod::handleText(handle()) +
                              " is not a number.");
  return *number;
}

bool SPXP_ExternalModule::controlWrite(uint32_t handle, const arxmod::PICType &value) {
  if (handle == 0 || handle != control_.handle)
    return false;
  const CalcPass pass = initialPass();
  switch (kind_) {
  case Kind::Pulse:
    storeCounter(control_, ++pulses_, pass);
    raiseEvent(eventPriority(), control_.handle, "Trigger", "Pulsed", pass);
    return true;
  case Kind::Boolean:
    storeBoolean(control_, numberWritten(value).asBoolean(), pass);
    break;
  case Kind::Numeric:
    storeOutput(control_, numberWritten(value), pass);
    break;
  }
  raiseEvent(eventPriority(), control_.handle, value, "Wrote Control Action", pass);
  return true;
}

} // namespace XLARX
