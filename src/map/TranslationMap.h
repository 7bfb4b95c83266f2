// TranslationMap: the entries, lists and settings of one device type's map
// file, shared read-only by every call for devices of that type.
//
// Translators look entries up by handle (MapReader), walk them in file
// order, and ask for named enumerations and label lists, the calculated
// (virtual module) handles, the handle exclusion tables and the Modbus
// limits (TransactionConfig). Look-ups take the map's reader lock, which the
// thread holding it may take again in either mode (ReentrantSharedMutex), so
// a look-up inside a changing step does not block.
//
// Before a map serves a device it is prepared against the device's tree:
// once per map, handles that select other entries' values or labels are
// marked as setup registers; and whenever the tree is a different one (a
// new creation stamp), the handle exclusion list is expanded over the
// tree's modules (a map without exclusions is prepared once). A second lock
// serialises preparation.
//
//   IRefPtr<TranslationMap> map = readMapFile(path);
//   map->prepare(*tree);
//   if (IRefPtr<TranslationInfo> entry = map->find(handle)) ...
//   if (const TranslationInfo *entry = map->entryFor(handle)) ...   // borrowed
//   map->forEachEntry([](const TranslationInfo &entry) { ... });  // file order
//
// The building operations (addEntry, addEnumeration, ..., settings()) are
// for the map file reader and combineModbusMaps, before the map is shared.
#pragma once

#include "base/ReentrantSharedMutex.h"
#include "base/RefBase.h"
#include "host/DiagnosticTrace.h"
#include "map/TransactionConfig.h"
#include "map/TranslationInfo.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

namespace arxmod {

class TranslationTree;

// The read-only view of a map that translators use.
class MapReader {
public:
  virtual ~MapReader() = default;
  // The entry of `handle`, or none.
  virtual IRefPtr<TranslationInfo> find(uint32_t handle) const = 0;
  // The same entry borrowed, without a reference: valid while the map lives,
  // since a shared map never drops an entry. The per-handle paths of a call
  // use it, so that the threads reading one map never write to its entries.
  virtual const TranslationInfo *entryFor(uint32_t handle) const = 0;
  virtual bool contains(uint32_t handle) const = 0;
  virtual size_t count() const = 0;
};

// Device-wide settings of a map (its DeviceInfo, Diagnostics elements).
struct MapSettings {
  std::string type;
  uint32_t lowSpeedPeriodMs = 30000;  // cache refresh of low-speed values, 5000 to 900000
  uint32_t highSpeedPeriodMs = 10000; // cache refresh of high-speed values, 5000 to 900000
  bool tracing = false;               // preparation steps go to the map's trace
  bool autoCacheControlHandles = true;
  bool dateTimeValidation = false;
  int32_t timeSyncInterval = 1; // seconds; 0 off, 1 to 29 the translator's own interval
  bool globalNotAvailable = false;
  uint32_t globalNotAvailableValue = 0;
  bool timeSyncWithDST = true;
};

// Modbus address text -> handle of the (last, in file order) entry at that
// address, and how many entries at each address are selected by another
// handle (a configurable value handle or an exclusion of the tree).
class AddressIndex : public RefBase {
public:
  std::optional<uint32_t> handleAt(const std::string &address) const {
    auto it = handles.find(address);
    return it == handles.end() ? std::nullopt : std::optional(it->second);
  }
  uint32_t sharedCount(const std::string &address) const {
    auto it = sharedCounts.find(address);
    return it == sharedCounts.end() ? 0 : it->second;
  }

  std::unordered_map<std::string, uint32_t> handles;
  std::unordered_map<std::string, uint32_t> sharedCounts;
};

// The bucket count of the tree's handle exclusion table for `pairs` pairs.
size_t exclusionBucketsFor(size_t pairs);

class TranslationMap : public RefBase, public MapReader {
public:
  TranslationMap();

  IRefPtr<TranslationInfo> find(uint32_t handle) const override;
  const TranslationInfo *entryFor(uint32_t handle) const override;
  bool contains(uint32_t handle) const override;
  size_t count() const override;
  // Every entry, in file order, under the reader lock.
  void forEachEntry(const std::function<void(const TranslationInfo &)> &visit) const;
  // The entries in file order (a copy of the list; the entries are shared).
  std::vector<IRefPtr<TranslationInfo>> entries() const;

  const MapSettings &settings() const { return settings_; }
  const IRefPtr<TransactionConfig> &transactionConfig() const { return transactionConfig_; }
  // Tick count when the map was made.
  uint32_t creationTick() const { return creationTick_; }
  // Handles of the modules emulated on the PC (CalcInfo), in file order.
  std::vector<uint32_t> calculatedHandles() const;
  // A shared enumeration (EnumInfo) or label list (ConfigLabelInfo) by name.
  IRefPtr<EnumerationInfo> enumeration(const std::string &name) const;
  IRefPtr<ConfigLabelInfo> configLabels(const std::string &name) const;
  // The config handle the file pairs with `handle` (HandleExclusionList).
  std::optional<uint32_t> exclusionConfigHandle(uint32_t handle) const;
  // The same after expansion over the tree: modules' registers included.
  std::optional<uint32_t> treeExclusionConfigHandle(uint32_t handle) const;
  size_t treeExclusionCount() const;

  // Prepares the map for `tree`; false when it already was (same tree).
  // Raises KSXmsg "Unknown handle H present in HandleExclusionList." when an
  // exclusion names a handle the tree lacks; the next call tries again.
  bool prepare(const TranslationTree &tree);
  // The address index, built on first use.
  IRefPtr<AddressIndex> addressIndex();

  // "<name> TranslationMap", or "TranslationMap" for an empty name; names
  // the trace.
  void setName(const std::string &name);
  std::string name() const;
  // Trace lines, written only when the map's tracing is on.
  void traceMessage(const std::string &text);
  void traceCount(const std::string &text, size_t count);

  // Building (reader and merge).
  MapSettings &editSettings() { return settings_; }
  // False when the handle already has an entry.
  bool addEntry(IRefPtr<TranslationInfo> entry);
  // Makes room for `count` entries in all.
  void reserveEntries(size_t count);
  bool addEnumeration(IRefPtr<EnumerationInfo> list);
  bool addConfigLabels(IRefPtr<ConfigLabelInfo> list);
  // Appends a calculated handle not yet listed.
  void addCalculatedHandle(uint32_t handle);
  // False when the handle already has a pair.
  bool addHandleExclusion(uint32_t handle, uint32_t configHandle);
  // Every list, for merging.
  std::vector<IRefPtr<EnumerationInfo>> enumerations() const;
  std::vector<IRefPtr<ConfigLabelInfo>> configLabelLists() const;
  std::vector<std::pair<uint32_t, uint32_t>> handleExclusions() const;

  ReentrantSharedMutex &lock() const { return lock_; }

private:
  void markControlHandles();
  void markSetupRegister(uint32_t handle);
  void expandHandleExclusions(const TranslationTree &tree);
  Diagnostic::Trace &trace();

  mutable ReentrantSharedMutex lock_;               // guards every table below
  std::vector<IRefPtr<TranslationInfo>> entries_;   // file order
  std::unordered_map<uint32_t, size_t> entryIndex_; // handle -> position in entries_
  std::vector<uint32_t> calculatedHandles_;
  std::vector<IRefPtr<EnumerationInfo>> enumerations_; // EnumInfo, file order
  std::vector<IRefPtr<ConfigLabelInfo>> configLabels_; // ConfigLabelInfo, file order
  std::unordered_map<std::string, size_t> enumerationIndex_;
  std::unordered_map<std::string, size_t> configLabelIndex_;
  std::vector<std::pair<uint32_t, uint32_t>> exclusions_; // (handle, config handle), file order
  std::unordered_map<uint32_t, uint32_t> exclusionIndex_;
  std::unordered_map<uint32_t, uint32_t> treeExclusions_;
  IRefPtr<AddressIndex> addressIndex_;

  MapSettings settings_;
  IRefPtr<TransactionConfig> transactionConfig_;
  uint32_t creationTick_;

  std::mutex prepareLock_;
  std::atomic<bool> initialized_{false}; // control handles marked
  std::atomic<uint64_t> treeStamp_{0};   // creation stamp of the tree last prepared against

  mutable std::mutex nameLock_; // guards name_ and trace_
  std::string name_ = "TranslationMap";
  std::unique_ptr<Diagnostic::Trace> trace_; // made at the first traced line
};

// Merges the lists, entries, calculated handles, address blocks and handle
// exclusions of `source` (read from `fileName`) into `target`. Raises KSXmsg
// for a name, handle or exclusion both maps have; what was merged before
// stays.
void combineModbusMaps(TranslationMap *target, TranslationMap *source, const std::string &fileName);

} // namespace arxmod
