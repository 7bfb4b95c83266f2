// TranslationMap: the tables and their look-ups, the name and trace, and the
// address index.
#include "map/TranslationMap.h"

#include "base/TickCount.h"

#include <algorithm>
#include <shared_mutex>

namespace arxmod {

TranslationMap::TranslationMap()
    : transactionConfig_(makeRef<TransactionConfig>()), creationTick_(tickCount()) {
  exclusionIndex_.rehash(163);
  treeExclusions_.rehash(163);
}

IRefPtr<TranslationInfo> TranslationMap::find(uint32_t handle) const {
  std::shared_lock guard(lock_);
  auto it = entryIndex_.find(handle);
  return it == entryIndex_.end() ? nullptr : entries_[it->second];
}

const TranslationInfo *TranslationMap::entryFor(uint32_t handle) const {
  std::shared_lock guard(lock_);
  auto it = entryIndex_.find(handle);
  return it == entryIndex_.end() ? nullptr : entries_[it->second].get();
}

bool TranslationMap::contains(uint32_t handle) const {
  std::shared_lock guard(lock_);
  return entryIndex_.contains(handle);
}

size_t TranslationMap::count() const {
  std::shared_lock guard(lock_);
  return entries_.size();
}

void TranslationMap::forEachEntry(const std::function<void(const TranslationInfo &)> &visit) const {
  std::shared_lock guard(lock_);
  for (const IRefPtr<TranslationInfo> &entry : entries_)
    visit(*entry);
}

std::vector<IRefPtr<TranslationInfo>> TranslationMap::entries() const {
  std::shared_lock guard(lock_);
  return entries_;
}

std::vector<uint32_t> TranslationMap::calculatedHandles() const {
  std::shared_lock guard(lock_);
  return calculatedHandles_;
}

IRefPtr<EnumerationInfo> TranslationMap::enumeration(const std::string &name) const {
  std::shared_lock guard(lock_);
  auto it = enumerationIndex_.find(name);
  return it == enumerationIndex_.end() ? nullptr : enumerations_[it->second];
}

IRefPtr<ConfigLabelInfo> TranslationMap::configLabels(const std::string &name) const {
  std::shared_lock guard(lock_);
  auto it = configLabelIndex_.find(name);
  return it == configLabelIndex_.end() ? nullptr : configLabels_[it->second];
}

std::optional<uint32_t> TranslationMap::exclusionConfigHandle(uint32_t handle) const {
  std::shared_lock guard(lock_);
  auto it = exclusionIndex_.find(handle);
  return it == exclusionIndex_.end() ? std::nullopt : std::optional(it->second);
}

std::optional<uint32_t> TranslationMap::treeExclusionConfigHandle(uint32_t handle) const {
  std::shared_lock guard(lock_);
  auto it = treeExclusions_.find(handle);
  return it == treeExclusions_.end() ? std::nullopt : std::optional(it->second);
}

size_t TranslationMap::treeExclusionCount() const {
  std::shared_lock guard(lock_);
  return treeExclusions_.size();
}

bool TranslationMap::addEntry(IRefPtr<TranslationInfo> entry) {
  std::unique_lock guard(lock_);
  if (!entryIndex_.try_emplace(entry->handle, entries_.size()).second)
    return false;
  entries_.push_back(std::move(entry));
  return true;
}

void TranslationMap::reserveEntries(size_t count) {
  std::unique_lock guard(lock_);
  entries_.reserve(count);
  entryIndex_.reserve(count);
}

bool TranslationMap::addEnumeration(IRefPtr<EnumerationInfo> list) {
  std::unique_lock guard(lock_);
  if (!enumerationIndex_.try_emplace(list->name(), enumerations_.size()).second)
    return false;
  enumerations_.push_back(std::move(list));
  return true;
}

bool TranslationMap::addConfigLabels(IRefPtr<ConfigLabelInfo> list) {
  std::unique_lock guard(lock_);
  if (!configLabelIndex_.try_emplace(list->name(), configLabels_.size()).second)
    return false;
  configLabels_.push_back(std::move(list));
  return true;
}

void TranslationMap::addCalculatedHandle(uint32_t handle) {
  std::unique_lock guard(lock_);
  if (std::find(calculatedHandles_.begin(), calculatedHandles_.end(), handle) ==
      calculatedHandles_.end())
    calculatedHandles_.push_back(handle);
}

bool TranslationMap::addHandleExclusion(uint32_t handle, uint32_t configHandle) {
  std::unique_lock guard(lock_);
  if (!exclusionIndex_.try_emplace(handle, configHandle).second)
    return false;
  exclusions_.emplace_back(handle, configHandle);
  return true;
}

std::vector<IRefPtr<EnumerationInfo>> TranslationMap::enumerations() const {
  std::shared_lock guard(lock_);
  return enumerations_;
}

std::vector<IRefPtr<ConfigLabelInfo>> TranslationMap::configLabelLists() const {
  std::shared_lock guard(lock_);
  return configLabels_;
}

std::vector<std::pair<uint32_t, uint32_t>> TranslationMap::handleExclusions() const {
  std::shared_lock guard(lock_);
  return exclusions_;
}

IRefPtr<AddressIndex> TranslationMap::addressIndex() {
  {
    std::shared_lock guard(lock_);
    if (addressIndex_)
      return addressIndex_;
  }
  std::unique_lock guard(lock_);
  if (addressIndex_)
    return addressIndex_;
  auto index = makeRef<AddressIndex>();
  for (const IRefPtr<TranslationInfo> &entry : entries_) {
    index->handles[entry->modbusAddress] = entry->handle;
    if (entry->configValueHandle != 0 || treeExclusions_.contains(entry->handle))
      ++index->sharedCounts[entry->modbusAddress];
  }
  addressIndex_ = index;
  return addressIndex_;
}

void TranslationMap::setName(const std::string &name) {
  std::lock_guard guard(nameLock_);
  name_ = name.empty() ? "TranslationMap" : name + " TranslationMap";
}

std::string TranslationMap::name() const {
  std::lock_guard guard(nameLock_);
  return name_;
}

Diagnostic::Trace &TranslationMap::trace() {
  std::lock_guard guard(nameLock_);
  if (!trace_) {
    trace_ = std::make_unique<Diagnostic::Trace>(name_);
    trace_->enable(true);
  }
  return *trace_;
}

void TranslationMap::traceMessage(const std::string &text) {
  if (!settings_.tracing)
    return;
  Diagnostic::Trace &channel = trace();
  channel(channel.name(), text);
}

void TranslationMap::traceCount(const std::string &text, size_t count) {
  if (settings_.tracing)
    traceMessage(text + std::to_string(count));
}

} // namespace arxmod
