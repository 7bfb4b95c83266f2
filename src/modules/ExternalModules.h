// SPXP_EPuModule, SPXP_EBvModule and SPXP_ENvModule: external pulse,
// boolean and numeric inputs that clients set by writing a register.
//
// Each has one register that clients write (its first output whose name
// contains " Trigger", " Switch" or " Number", or else its first output),
// the "EvPriority" setup and an Event output. They are always valid and
// compute nothing; a write is handled by controlWrite under the device's
// module-list lock:
//   pulse     any value counts one pulse            event effect "Pulsed"
//   boolean   a number, stored as true or false     "Wrote Control Action"
//   numeric   a number, stored as written           "Wrote Control Action"
// A boolean or numeric write of anything but a number is refused
// (ControlWriteRefused). The register starts with the value of its tree
// register (a pulse count, a boolean, a number), or 0, false and "not
// available" without one.
#pragma once

#include "modules/ModuleBase.h"

namespace XLARX {

class SPXP_ExternalModule : public SPXP_ModuleBase {
public:
  enum class Kind { Pulse, Boolean, Numeric };

  SPXP_ExternalModule(Kind kind, const arxmod::ModuleObj &module,
                      arxmod::IRefPtr<ModuleDevice> device);

  void initialise(const arxmod::TreeReader &tree) override;
  void compute(const CalcPass &) override {}
  bool controlWrite(uint32_t handle, const arxmod::PICType &value) override;

  // The register clients write; 0 when the module has no outputs.
  uint32_t controlRegister() const { return control_.handle; }

private:
  const arxmod::NumericType &numberWritten(const arxmod::PICType &value) const;

  const Kind kind_;
  OutputRef control_;
  uint32_t pulses_ = 0;
};

class SPXP_EPuModule final : public SPXP_ExternalModule {
public:
  SPXP_EPuModule(const arxmod::ModuleObj &module, arxmod::IRefPtr<ModuleDevice> device)
      : SPXP_ExternalModule(Kind::Pulse, module, std::move(device)) {}
};

class SPXP_EBvModule final : public SPXP_ExternalModule {
public:
  SPXP_EBvModule(const arxmod::ModuleObj &module, arxmod::IRefPtr<ModuleDevice> device)
      : SPXP_ExternalModule(Kind::Boolean, module, std::move(device)) {}
};

class SPXP_ENvModule final : public SPXP_ExternalModule {
public:
  SPXP_ENvModule(const arxmod::ModuleObj &module, arxmod::IRefPtr<ModuleDevice> device)
      : SPXP_ExternalModule(Kind::Numeric, module, std::move(device)) {}
};

} // namespace XLARX
