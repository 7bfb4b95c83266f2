// Making virtual modules and module lists, and handing them to the engines.
#include "modules/ModuleFactory.h"

#include "host/LibraryName.h"
#include "host/LogLevel.h"
#include "host/SLMessage.h"
#include "modules/AvgModule.h"
#include "modules/DiaModule.h"
#include "modules/DreModule.h"
#include "modules/EnginePool.h"
#include "modules/ExternalModules.h"
#include "modules/FbkModule.h"
#include "modules/MinMaxModule.h"
#include "modules/PerModule.h"

#include <unordered_set>

namespace XLARX {

using arxmod::IRefPtr;

namespace {

template <typename T>
IRefPtr<SPXP_ModuleBase> make(const arxmod::ModuleObj &module,
                              const IRefPtr<ModuleDevice> &device) {
  return arxmod::makeRef<T>(module, device);
}

using Maker = IRefPtr<SPXP_ModuleBase> (*)(const arxmod::ModuleObj &,
                                           const IRefPtr<ModuleDevice> &);

Maker makerOf(uint32_t classNumber) {
  switch (classNumber) {
  case 511:
    return &make<SPXP_MinModule>;
  case 512:
    return &make<SPXP_MaxModule>;
  case 518:
    return &make<SPXP_PerModule>;
  case 525:
    return &make<SPXP_DiaModule>;
  case 537:
    return &make<SPXP_DreModule>;
  case 544:
    return &make<SPXP_EPuModule>;
  case 545:
    return &make<SPXP_EBvModule>;
  case 546:
    return &make<SPXP_ENvModule>;
  case 567:
    return &make<SPXP_FbkModule>;
  case 592:
    return &make<SPXP_AvgModule>;
  default:
    return nullptr;
  }
}

void reportRefusal(uint32_t deviceId, const std::string &reason) noexcept {
  arxmod::SLMessage(arxmod::LogDestination::ConsoleAndSystemLog,
                    "Virtual modules of device " + std::to_string(deviceId) + " refused: " + reason)
      .write(arxmod::kPriorityMessage, arxmod::libraryName(), 0, "Virtual modules", "");
}

} // namespace

IRefPtr<SPXP_ModuleBase> createVirtualModule(uint32_t handle, const IRefPtr<ModuleDevice> &device) {
  const auto *module = dynamic_cast<const arxmod::ModuleObj *>(device->tree->find(handle));
  if (!module)
    throw ModuleInvalid("No module object in the ARX tree for virtual module" +
                        moduleHandleSuffix(handle));
  const Maker maker = makerOf(module->classNumber());
  if (!maker)
    return nullptr;
  IRefPtr<SPXP_ModuleBase> made = maker(*module, device);
  made->validate(*device->tree);
  made->initialise(*device->tree);
  return made;
}

IRefPtr<SPXP_ModuleList> buildModuleList(const IRefPtr<ModuleDevice> &device,
                                         std::span<const uint32_t> handles) {
  auto list = arxmod::makeRef<SPXP_ModuleList>();
  std::unordered_set<uint32_t> seen;
  for (const uint32_t handle : handles) {
    if (!seen.insert(handle).second)
      throw ModuleInvalid("Virtual module listed twice in the translation map" +
                          moduleHandleSuffix(handle));
    if (IRefPtr<SPXP_ModuleBase> module = createVirtualModule(handle, device))
      list->append(std::move(module));
  }
  list->order(*device->tree);
  return list;
}

void rebuildVirtualModules(uint32_t deviceId, const IRefPtr<arxmod::TranslationMap> &map,
                           const IRefPtr<Cache> &cache,
                           const IRefPtr<arxmod::TranslationTree> &tree) {
  CalculationEnginePool &pool = CalculationEnginePool::instance();
  IRefPtr<SPXP_ModuleList> list;
  try {
    const std::vector<uint32_t> handles = map->calculatedHandles();
    list = buildModuleList(arxmod::makeRef<ModuleDevice>(deviceId, cache, tree, map), handles);
  } catch (const arxmod::KSXmsg &refused) {
    pool.removeDevice(deviceId);
    reportRefusal(deviceId, refused.text());
    throw ModuleCreationFailed(refused.text());
  }
  if (list->empty())
    pool.removeDevice(deviceId);
  else
    pool.addDevice(arxmod::makeRef<KernelInfo>(deviceId, map, cache, tree, std::move(list)));
}

bool writeVirtualModuleRegister(uint32_t deviceId, uint32_t handle, const arxmod::PICType &value) {
  return CalculationEnginePool::instance().controlWrite(deviceId, handle, value);
}

} // namespace XLARX
