// buildCache: the handles of a map in the cache, references first.
#include "cache/CacheBuild.h"

#include "tree/ARXObj.h"

#include <vector>

namespace XLARX {

using arxmod::TranslationInfo;

std::array<uint32_t, 9> referenceHandles(const TranslationInfo &entry) {
  return {entry.scale.handle,     entry.multiplier.handle, entry.offset.handle,
          entry.modbusMin.handle, entry.modbusMax.handle,  entry.arxMin.handle,
          entry.arxMax.handle,    entry.configValueHandle, entry.configLabelHandle};
}

uint32_t cacheSpecFlags(std::string_view cacheSpec) {
  uint32_t flags = 0;
  while (!cacheSpec.empty()) {
    const size_t comma = cacheSpec.find(',');
    const std::string_view piece = cacheSpec.substr(0, comma);
    if (piece.find('D') != std::string_view::npos)
      flags |= kCacheServeWhileFresh | kCacheOnDemand;
    else if (piece.find('C') != std::string_view::npos)
      flags |= kCacheServeWhileFresh;
    cacheSpec = comma == std::string_view::npos ? std::string_view() : cacheSpec.substr(comma + 1);
  }
  return flags;
}

namespace {

class CacheBuilder {
public:
  CacheBuilder(const arxmod::TranslationMap &map, Cache &cache)
      : map_(map), cache_(cache), highSpeedMs_(map.settings().highSpeedPeriodMs) {}

  // Adds a handle that has a map entry with `flags` and `maxAge`; a new
  // value first adds the handles its entry refers to, depth first, then
  // joins the refresh order. An explicit stack keeps a long chain of
  // references from exhausting the call stack.
  void add(uint32_t handle, uint32_t flags, uint32_t maxAge) {
    arxmod::IRefPtr<TranslationInfo> entry = map_.find(handle);
    if (!entry || !cache_.addHandle(handle, true, flags, maxAge))
      return;
    struct Pending {
      uint32_t handle;
      std::array<uint32_t, 9> references;
      size_t next;
    };
    std::vector<Pending> stack{{handle, referenceHandles(*entry), 0}};
    while (!stack.empty()) {
      Pending &top = stack.back();
      if (top.next == top.references.size()) {
        cache_.appendToRefreshOrder(top.handle);
        stack.pop_back();
        continue;
      }
      const uint32_t reference = top.references[top.next++];
      if (reference == 0)
        continue;
      arxmod::IRefPtr<TranslationInfo> referenced = map_.find(reference);
      if (referenced && cache_.addHandle(reference, true, kReferenceFlags, highSpeedMs_))
        stack.push_back({reference, referenceHandles(*referenced), 0});
    }
  }

  void addEntry(const TranslationInfo &entry) {
    for (const uint32_t reference : referenceHandles(entry))
      if (reference != 0)
        add(reference, kReferenceFlags, highSpeedMs_);
    if (entry.setupRegister)
      add(entry.handle, kCacheSetupRegister | kReferenceFlags, highSpeedMs_);
    if (!entry.cacheSpec.empty())
      add(entry.handle, kCacheRefreshable | cacheSpecFlags(entry.cacheSpec), highSpeedMs_);
  }

  void addModuleSetups(const arxmod::TreeReader &tree) {
    const uint32_t lowSpeedMs = map_.settings().lowSpeedPeriodMs;
    for (const uint32_t module : map_.calculatedHandles()) {
      const auto *object = dynamic_cast<const arxmod::ModuleObj *>(tree.find(module));
      if (!object || !object->setups())
        continue;
      for (const uint32_t setup : *object->setups()) {
        if (map_.contains(setup))
          add(setup, kCacheModuleSetup | kCacheLowSpeed | kCacheRefreshable, lowSpeedMs);
        else
          cache_.addHandle(setup, false, kCacheModuleSetup, lowSpeedMs);
      }
    }
  }

private:
  static constexpr uint32_t kReferenceFlags = kCacheHighSpeed | kCacheRefreshable;

  const arxmod::TranslationMap &map_;
  Cache &cache_;
  const uint32_t highSpeedMs_;
};

} // namespace

arxmod::IRefPtr<Cache> buildCache(const arxmod::TranslationMap &map,
                                  arxmod::IRefPtr<arxmod::TranslationTree> tree,
                                  std::string deviceName, uint32_t deviceId) {
  auto cache = arxmod::makeRef<Cache>(tree, std::move(deviceName), deviceId);
  CacheBuilder builder(map, *cache);
  for (const arxmod::IRefPtr<TranslationInfo> &entry : map.entries())
    builder.addEntry(*entry);
  builder.addModuleSetups(*cache->tree());
  return cache;
}

} // namespace XLARX
