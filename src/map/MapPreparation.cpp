// TranslationMap preparation: marking control handles as setup registers
// and expanding the handle exclusion list over a device tree.
//
// Preparation runs once per map for the marking, and again for every new
// tree for the expansion (a tree reloaded from its file has a new creation
// stamp). The expansion walks modules' setup and output lists with an
// explicit stack and a visited set: a tree file is written by hand, and a
// module listed among its own outputs, or two modules listing each other,
// must end the walk instead of the stack.
#include "map/TranslationMap.h"

#include "base/KSXmsg.h"
#include "tree/TranslationTree.h"

#include <shared_mutex>
#include <unordered_set>

namespace arxmod {

size_t exclusionBucketsFor(size_t pairs) {
  constexpr std::pair<size_t, size_t> kSteps[] = {
      {20, 163},    {50, 53},     {100, 103},   {200, 313},   {500, 503},
      {1000, 1013}, {2000, 2131}, {3000, 3031}, {4000, 4013}, {5000, 5113}};
  for (const auto &[most, buckets] : kSteps)
    if (pairs <= most)
      return buckets;
  return 6113;
}

bool TranslationMap::prepare(const TranslationTree &tree) {
  // Without a handle exclusion list nothing depends on the tree: devices of
  // one type with trees of their own then share the prepared map without
  // taking its writer lock at every call. A map already prepared is told
  // without any lock, so that the calls for those devices write nothing
  // they share.
  const auto prepared = [&] {
    return initialized_.load(std::memory_order_acquire) &&
           (exclusions_.empty() ||
            tree.creationStamp() == treeStamp_.load(std::memory_order_acquire));
  };
  if (prepared())
    return false;
  std::lock_guard preparing(prepareLock_);
  if (prepared())
    return false;
  traceMessage("Preparing map.");
  std::unique_lock guard(lock_);
  if (!initialized_.load(std::memory_order_relaxed)) {
    traceMessage("Initializing map.");
    markControlHandles();
    initialized_.store(true, std::memory_order_release);
  }
  if (tree.creationStamp() != treeStamp_.load(std::memory_order_relaxed)) {
    traceMessage("Updating tree references.");
    expandHandleExclusions(tree);
    treeStamp_.store(tree.creationStamp(), std::memory_order_release);
  }
  traceMessage("Finished preparing map.");
  return true;
}

void TranslationMap::markSetupRegister(uint32_t handle) {
  if (auto it = entryIndex_.find(handle); it != entryIndex_.end())
    entries_[it->second]->setupRegister = true;
}

// Handles whose value selects other entries' values or labels: a change of
// one changes what those entries read, so the cache treats them as setup.
void TranslationMap::markControlHandles() {
  if (!settings_.autoCacheControlHandles)
    return;
  std::shared_lock guard(lock_);
  traceMessage("Marking control handles as setup registers.");
  size_t labelHandles = 0, valueHandles = 0, dynamicLabels = 0;
  for (const IRefPtr<TranslationInfo> &entry : entries_) {
    if (entry->configLabelHandle != 0) {
      markSetupRegister(entry->configLabelHandle);
      ++labelHandles;
    }
    if (entry->configValueHandle != 0) {
      markSetupRegister(entry->configValueHandle);
      ++valueHandles;
    }
    const XLARX::DynamicLabel &label = *entry->dynamicLabel;
    if (!label.activeFormat().text.empty()) {
      markSetupRegister(label.ordinalHandle);
      markSetupRegister(label.deviceLabelHandle);
      ++dynamicLabels;
    }
  }
  traceCount("Config label handle references: ", labelHandles);
  traceCount("Config value handle references: ", valueHandles);
  traceCount("Active dynamic labels: ", dynamicLabels);
  for (const IRefPtr<ConfigLabelInfo> &list : configLabels_)
    markSetupRegister(list->handle());
  traceCount("Named config label count: ", configLabels_.size());
  for (const auto &[handle, configHandle] : exclusions_)
    markSetupRegister(configHandle);
  traceCount("Handle exclusion count: ", exclusions_.size());
}

// Each excluded handle, and the setups and outputs of an excluded module
// (and of modules among them) that have the same parent as the excluded
// handle, map to the pair's config handle.
void TranslationMap::expandHandleExclusions(const TranslationTree &tree) {
  traceMessage("Adding tree handles to exclusion list.");
  std::unordered_map<uint32_t, uint32_t> expanded;
  expanded.rehash(163);
  for (const auto &[handle, configHandle] : exclusions_) {
    const ARXObj *excluded = tree.find(handle);
    if (!excluded)
      throw KSXmsg("Unknown handle " + std::to_string(handle) + " present in HandleExclusionList.");
    const uint32_t parent = excluded->parent();
    std::vector<uint32_t> pending{handle};
    std::unordered_set<uint32_t> visited;
    while (!pending.empty()) {
      const uint32_t visiting = pending.back();
      pending.pop_back();
      if (!visited.insert(visiting).second)
        continue;
      const ARXObj *object = tree.find(visiting);
      if (!object)
        continue;
      if (object->parent() == parent)
        expanded[visiting] = configHandle;
      const auto *module = dynamic_cast<const ModuleObj *>(object);
      if (!module)
        continue;
      // Pushed in reverse, so setups are visited before outputs, each in order.
      const auto push = [&](const std::optional<std::vector<uint32_t>> &handles) {
        if (handles)
          pending.insert(pending.end(), handles->rbegin(), handles->rend());
      };
      push(module->outputs());
      push(module->setups());
    }
  }
  expanded.rehash(exclusionBucketsFor(expanded.size()));
  treeExclusions_ = std::move(expanded);
  traceCount("Added tree handles: ", treeExclusions_.size());
}

} // namespace arxmod
