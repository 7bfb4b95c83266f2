// KernelInfo: what a calculation engine keeps for one device.
//
// The device's map, value cache, tree and module list (counted), set when
// the device is handed to the pool and never changed: a reload of the map
// or tree hands over a new KernelInfo, which replaces this one at the
// engine's next tick. The remaining fields belong to the engine's thread
// (the statistics are also read by other threads, under the engine's
// active-dictionary lock).
#pragma once

#include "modules/CalcStatistics.h"
#include "modules/ModuleList.h"

#include <vector>

namespace XLARX {

struct KernelInfo : public arxmod::RefBase {
  // Failed try-locks of the module list a device may have in one tick
  // before the engine waits for the lock.
  static constexpr uint32_t kTryLockBudget = 40;

  KernelInfo(uint32_t id, arxmod::IRefPtr<arxmod::TranslationMap> translationMap,
             arxmod::IRefPtr<Cache> valueCache, arxmod::IRefPtr<arxmod::TranslationTree> objectTree,
             arxmod::IRefPtr<SPXP_ModuleList> moduleList)
      : deviceId(id), map(std::move(translationMap)), cache(std::move(valueCache)),
        tree(std::move(objectTree)), modules(std::move(moduleList)) {
    statistics.deviceId = id;
  }

  const uint32_t deviceId;
  const arxmod::IRefPtr<arxmod::TranslationMap> map;
  const arxmod::IRefPtr<Cache> cache;
  const arxmod::IRefPtr<arxmod::TranslationTree> tree;
  const arxmod::IRefPtr<SPXP_ModuleList> modules;

  // --- The engine thread's.
  uint32_t tryLockBudget = kTryLockBudget;
  bool done = false;   // computed (or skipped) in the current tick
  bool enabled = true; // device and port enabled in the host configuration
  // Modules whose last pass failed: a failure is reported when a module
  // starts failing, not again at every tick.
  std::vector<uint32_t> failingModules;
  DeviceCalcStatistics statistics;
};

} // namespace XLARX
