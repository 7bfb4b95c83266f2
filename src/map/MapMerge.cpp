// combineModbusMaps: a device type's extension map merged into its map.
//
// The extension may add lists, entries, calculated handles, address blocks
// and exclusions, never replace what the map has: a name, handle or
// exclusion both define is refused, naming the extension file.
#include "map/TranslationMap.h"

#include "base/KSXmsg.h"

#include <mutex>
#include <shared_mutex>

namespace arxmod {
namespace {

void mergeItems(const std::vector<TransactionConfig::RegisterItem> &from,
                std::vector<TransactionConfig::RegisterItem> &into) {
  for (const TransactionConfig::RegisterItem &item : from)
    if (!TransactionConfig::findFirst(into, item.first))
      into.push_back(item);
}

} // namespace

void combineModbusMaps(TranslationMap *target, TranslationMap *source,
                       const std::string &fileName) {
  if (!target || !source)
    throw KSXmsg("Bad arguments to FileManager::CombineModbusMaps");
  std::unique_lock writing(target->lock());
  for (const IRefPtr<EnumerationInfo> &list : source->enumerations())
    if (!target->addEnumeration(list))
      throw KSXmsg("Duplicate EnumInfo entry: " + list->name() + " in " + fileName);
  for (const IRefPtr<ConfigLabelInfo> &list : source->configLabelLists())
    if (!target->addConfigLabels(list))
      throw KSXmsg("Duplicate ConfigLabelInfo entry: " + list->name() + " in " + fileName);
  {
    std::shared_lock reading(source->lock());
    for (const IRefPtr<TranslationInfo> &entry : source->entries())
      if (!target->addEntry(entry))
        throw KSXmsg("Found duplicate handle (" + std::to_string(entry->handle) + ") in " +
                     fileName);
  }
  for (uint32_t handle : source->calculatedHandles())
    target->addCalculatedHandle(handle);
  const TransactionConfig &from = *source->transactionConfig();
  TransactionConfig &into = *target->transactionConfig();
  mergeItems(from.datasetBlocks, into.datasetBlocks);
  mergeItems(from.invalidRanges, into.invalidRanges);
  for (const auto &[handle, configHandle] : source->handleExclusions())
    if (!target->addHandleExclusion(handle, configHandle))
      throw KSXmsg("Invalid configuration for HandleExclusionList: duplicate entry for " +
                   std::to_string(handle) + " in " + fileName);
}

} // namespace arxmod
