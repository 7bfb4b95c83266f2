// The making of virtual modules, and of a device's module list, from the
// translation map's calculated handles and the device's tree.
//
// Classes with a virtual implementation:
//   511 Minimum_Module  SPXP_MinModule     544 ExternalPulse_Module    SPXP_EPuModule
//   512 Maximum_Module  SPXP_MaxModule     545 ExternalBoolean_Module  SPXP_EBvModule
//   518 PeriodicTimer   SPXP_PerModule     546 ExternalNumeric_Module  SPXP_ENvModule
//   525 Diagnostics     SPXP_DiaModule     567 Feedback_Module         SPXP_FbkModule
//   537 DataRecorder    SPXP_DreModule     592 Averaging_Module        SPXP_AvgModule
// A calculated handle of any other module class makes no virtual module
// (its setups are still cached, see src/cache/CacheBuild.h).
//
// When the mapped translator loads a device's map and tree, it calls
// rebuildVirtualModules(): every calculated handle, in map order, becomes a
// module (checked with validate, then given its first values with
// initialise), the list is put in calculation order and handed to the
// engine pool. Anything wrong refuses the whole list:
//   - a handle that is not a module of the tree, or is listed twice;
//   - a module that validate refuses (its message names the module);
//   - modules that feed each other without a Feedback module between them.
// The device then has no virtual modules (its meter values are served as
// before), the reason goes to the system log with the device and module
// handle, and the call raises "Invalid translation map or tree file.
// Create module or sequencer failed.".
#pragma once

#include "modules/ModuleList.h"

#include <span>

namespace XLARX {

inline constexpr std::string_view kCreateModuleFailed =
    "Invalid translation map or tree file. Create module or sequencer failed.";

// The message of a refused module list; reason() says why, naming the module.
class ModuleCreationFailed : public arxmod::KSXmsg {
public:
  explicit ModuleCreationFailed(std::string reason)
      : KSXmsg(std::string(kCreateModuleFailed)), reason_(std::move(reason)) {}
  const std::string &reason() const { return reason_; }

private:
  std::string reason_;
};

// The virtual module of `handle`, validated and initialised; nullptr for a
// module class without a virtual implementation. Raises ModuleInvalid.
arxmod::IRefPtr<SPXP_ModuleBase> createVirtualModule(uint32_t handle,
                                                     const arxmod::IRefPtr<ModuleDevice> &device);

// The ordered list of the modules of `handles`. Raises ModuleInvalid.
arxmod::IRefPtr<SPXP_ModuleList> buildModuleList(const arxmod::IRefPtr<ModuleDevice> &device,
                                                 std::span<const uint32_t> handles);

// Builds the device's modules from the map's calculated handles and hands
// them to the process's engine pool (a device without virtual modules is
// removed from it). Raises ModuleCreationFailed as described above.
void rebuildVirtualModules(uint32_t deviceId, const arxmod::IRefPtr<arxmod::TranslationMap> &map,
                           const arxmod::IRefPtr<Cache> &cache,
                           const arxmod::IRefPtr<arxmod::TranslationTree> &tree);

// A client write of `value` to `handle` of the device; false when no
// virtual module of the device handles it. Raises ControlWriteRefused for
// a value the module refuses.
bool writeVirtualModuleRegister(uint32_t deviceId, uint32_t handle, const arxmod::PICType &value);

} // namespace XLARX
