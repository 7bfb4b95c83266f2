// XLARX::MappedTranslator: the level of the translator chain that joins a
// device's tree with its translation map. A handle the map lists lives in
// the meter and is read through device requests, which the level below
// (ModbusTranslator) builds and decodes; every other handle is answered
// from the tree. Between calls the device's value cache answers most reads
// without asking the meter.
//
// One call, in the order the engine runs it (see README.md for the passes):
//   begin              files changed? rebuild the cache; take this call's
//                      snapshot of tree, map and cache
//   readyForPrograms   before each program pass: queue and prepare the
//                      cached values that are due (the refresh)
//   prepareInvocation  per statement: fresh cached value, or device requests
//   handleResponse     per reply: decode it (applyResponse), note the status
//                      and whether it came good
//   distribute         after each exchange: store this call's pending reads
//                      and the time of the last good reply
//   endOfPass          refresh when nothing else was asked; probe the meter
//                      after 60 s without a good reply
//   invoke             per statement at the answer: exclusion, cache, the
//                      level below, own answers, the tree
//
// Concurrency: the translator belongs to its call. Per-device state is
// shared (DeviceState.h); the cache has its own lock, and the reads a call
// has under way are its own (PendingReads), so two calls for one device
// each store the replies they received.
#pragma once

#include "cache/PendingReads.h"
#include "host/ConfigDatabase.h"
#include "translator/DeviceState.h"
#include "translator/TreeTranslator.h"
#include "translator/ValueConversion.h"

#include <atomic>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>

namespace XLARX {

// The process-wide switch of the translators' traces, set from the map of
// the device last loaded.
struct TraceSettings {
  std::atomic<bool> tracing{false};
};
TraceSettings &traceSettings();

// How long the meter may go without a good reply before a call that needs
// nothing from it sends one read anyway.
inline constexpr uint32_t kProbeAfterMs = 60000;
// Deepest chain of scaling references one read prepares; references
// further down are answered from the cache as they stand.
inline constexpr unsigned kMaxReferenceDepth = 32;

class MappedTranslator : public TreeTranslator {
public:
  explicit MappedTranslator(uint32_t deviceId);

  // --- Supplied by the device level.
  // Decodes a device reply into the values of the handles it covers.
  virtual void applyResponse(const arxmod::IRefPtr<XL::Request> &request,
                             const arxmod::IRefPtr<XL::Response> &response) = 0;
  // True when the end of a pass should not refresh the cache.
  virtual bool skipRefresh() const = 0;
  // The device's current tree (from the file cache).
  virtual arxmod::IRefPtr<arxmod::TranslationTree> loadTree() = 0;
  // The device's map, prepared against `tree`, its tree from loadTree.
  virtual arxmod::IRefPtr<arxmod::TranslationMap> loadMap(const arxmod::TranslationTree &tree) = 0;
  // True for a write that changes the device's configuration.
  virtual bool isConfigWrite(const XL::Request &request) const = 0;
  // Added to the configuration time in the setup counters.
  virtual uint32_t baseNumber() const = 0;
  // Adds the device requests of one invocation on a mapped handle to the
  // sub-transaction (making it on first need); false when it did and the
  // invocation must be prepared again in a later pass.
  virtual bool prepareDeviceRequest(const arxmod::TranslationInfo &entry,
                                    const arxmod::ARXObj *object, uint32_t method,
                                    arxmod::PICType *argument, XL::Transaction &transaction,
                                    arxmod::IRefPtr<XL::Transaction> &subTransaction) = 0;
  // The name of the kind of device this translator serves; it names the map.
  virtual std::string deviceName() const = 0;

  // --- This level.
  uint32_t deviceId() const { return deviceId_; }
  const arxmod::IRefPtr<arxmod::TranslationMap> &map() const { return current_.map; }
  const arxmod::IRefPtr<Cache> &cache() const { return current_.cache; }
  arxmod::IRefPtr<arxmod::TranslationTree> tree() override { return current_.tree; }
  // Scaling with this call's cache and tree.
  ValueConversion conversion() const { return {current_.cache.get(), current_.tree.get()}; }

  // Adds one read of the first mapped register to a free sub-transaction.
  virtual void probe(XL::Transaction &transaction,
                     arxmod::IRefPtr<XL::Transaction> &subTransaction);
  // Loads tree and map; true when either differs from the device's.
  virtual bool updateMapAndTree();
  // "[Device: <name>] <text>" on the console while tracing is on.
  virtual void trace(std::string_view text);

  void begin(XL::Transaction &transaction) override;
  void distribute(XL::Transaction &subTransaction, XL::Transaction &transaction) override;
  void handleResponse(const arxmod::IRefPtr<XL::Request> &request,
                      const arxmod::IRefPtr<XL::Response> &response) override;
  void endOfPass(XL::Transaction &transaction,
                 arxmod::IRefPtr<XL::Transaction> &subTransaction) override;
  bool prepareInvocation(uint32_t handle, uint32_t method, arxmod::PICType *argument,
                         XL::Transaction &transaction,
                         arxmod::IRefPtr<XL::Transaction> &subTransaction) override;
  arxmod::PICType *invoke(uint32_t handle, uint32_t method, arxmod::PICType *argument) override;
  // The map's reader lock, taken once for a program's pass or execution
  // instead of once per look-up: devices of one type share their map.
  std::shared_lock<arxmod::ReentrantSharedMutex> holdForProgram() override {
    return current_.map ? std::shared_lock(current_.map->lock())
                        : std::shared_lock<arxmod::ReentrantSharedMutex>();
  }
  // The cache refresh.
  bool readyForPrograms(XL::Transaction &transaction,
                        arxmod::IRefPtr<XL::Transaction> &subTransaction) override;
  arxmod::PICType *invokeMapped(uint32_t handle, uint32_t method,
                                arxmod::PICType *argument) override;

  // The cache's answer (Cache::readCached); none without cache.
  arxmod::PICType *readCached(uint32_t handle, uint32_t method, arxmod::PICType *argument,
                              uint32_t requiredFlags) const;
  // True when the map excludes `handle` for this device: its exclusion
  // entry names a configuration handle whose cached value is 0 or "0".
  bool isExcluded(uint32_t handle, arxmod::MemoryBlob &blob) const;

protected:
  DeviceState &state() { return state_; }
  // The device's record in the host configuration, if it has one.
  std::optional<arxmod::DeviceRecord> configuredDevice() const;
  // The device's name in the host configuration, if it has one.
  std::optional<std::string> configuredName() const;
  // The tree object of `handle`, valid while this call holds the tree.
  const arxmod::ARXObj *findObject(uint32_t handle) const;

private:
  bool prepareReference(uint32_t handle, arxmod::PICType *argument, XL::Transaction &transaction,
                        arxmod::IRefPtr<XL::Transaction> &subTransaction);
  bool prepareLabelSources(const DynamicLabel &label, arxmod::PICType *argument,
                           XL::Transaction &transaction,
                           arxmod::IRefPtr<XL::Transaction> &subTransaction);
  arxmod::PICType *dynamicLabel(const DynamicLabel &label, arxmod::PICType *argument);
  // Method 80 or 100 (setup counters) and 520 (enumeration texts).
  arxmod::PICType *ownAnswer(uint32_t handle, uint32_t method, arxmod::PICType *argument);
  // The value a pending read of `handle` produced in this call, or none.
  arxmod::PICType *evaluateRead(uint32_t handle, arxmod::MemoryBlob &blob);
  arxmod::PICType *withDeviceName(arxmod::PICType *label);
  arxmod::PICType *withoutExcluded(arxmod::PICType *handles);
  bool meterQuietTooLong() const;
  // The tick count of the pass being prepared, read at its first use and
  // forgotten at the start of a call and when the pass's replies are
  // distributed. No device traffic happens while a pass is prepared, so one
  // reading serves every handle it asks about.
  uint32_t passTick();

  const uint32_t deviceId_;
  DeviceState &state_;
  DeviceState::Snapshot current_; // this call's tree, map and cache
  PendingReads pending_;          // this call's reads of cached values
  std::deque<uint32_t> refreshQueue_;
  std::unordered_set<uint32_t> refreshed_; // queued for refresh in this call
  std::unordered_set<uint32_t> preparing_; // references being prepared, for cycles
  // What the replies of the pass being distributed showed.
  struct PassReplies {
    bool good = false;          // a reply came good
    bool configWritten = false; // a setup write was carried out
  } passReplies_;
  std::optional<uint32_t> passTick_;
  arxmod::MemoryBlob voidBlob_{64};
  arxmod::PICType *const void_; // the argument of the refresh and probe reads
};

} // namespace XLARX
