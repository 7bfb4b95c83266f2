// XLARX::MappedTranslator: per-device state, preparation of invocations on
// mapped handles, replies and the storing of cached values.
#include "translator/MappedTranslator.h"

#include "base/Clock.h"
#include "base/KSXmsg.h"
#include "base/NeverDestroyed.h"
#include "cache/CacheBuild.h"
#include "host/ConfigDatabase.h"
#include "modules/ModuleFactory.h"
#include "translator/InvocationErrors.h"
#include "types/NumericTypes.h"

#include <iostream>

namespace XLARX {

using arxmod::IRefPtr;
using arxmod::PICType;

TraceSettings &traceSettings() { return arxmod::neverDestroyed<TraceSettings>(); }

MappedTranslator::MappedTranslator(uint32_t deviceId)
    : deviceId_(deviceId), state_(deviceState(deviceId)),
      void_(voidBlob_.make<arxmod::VoidType>()) {}

std::optional<arxmod::DeviceRecord> MappedTranslator::configuredDevice() const {
  try {
    // A device added since the table was last read is looked for once more.
    arxmod::ConfigDatabase &database = arxmod::ConfigDatabase::instance();
    auto record = database.device(deviceId_);
    if (!record)
      record = database.deviceRefreshed(deviceId_);
    return record;
  } catch (const arxmod::KSXmsg &) {
    // No configuration to ask: the caller has its own fallback.
  }
  return std::nullopt;
}

std::optional<std::string> MappedTranslator::configuredName() const {
  if (auto record = configuredDevice())
    return std::move(record->name);
  return std::nullopt;
}

void MappedTranslator::trace(std::string_view text) {
  if (!traceSettings().tracing.load(std::memory_order_relaxed))
    return;
  std::string line = "[Device: " + configuredName().value_or(deviceName()) + "] ";
  line.append(text);
  line += '\n';
  std::clog.write(line.data(), static_cast<std::streamsize>(line.size()));
  std::clog.flush();
}

const arxmod::ARXObj *MappedTranslator::findObject(uint32_t handle) const {
  return current_.tree ? current_.tree->find(handle) : nullptr;
}

bool MappedTranslator::updateMapAndTree() {
  IRefPtr<arxmod::TranslationTree> tree = loadTree();
  if (!tree)
    throw arxmod::KSXmsg("Tree missing");
  IRefPtr<arxmod::TranslationMap> map = loadMap(*tree);
  if (!map)
    throw arxmod::KSXmsg("Translation map missing");
  if (map != current_.map) {
    traceSettings().tracing.store(map->settings().tracing, std::memory_order_relaxed);
    map->setName(deviceName());
  }
  if (tree == current_.tree && map == current_.map)
    return false;
  trace("Updating map and tree information.");
  current_.tree = std::move(tree);
  current_.map = std::move(map);
  state_.configTime.store(arxmod::unixWholeSeconds(arxmod::currentClock().wallNow()));
  return true;
}

void MappedTranslator::begin(XL::Transaction &transaction) {
  {
    std::lock_guard guard(state_.updateLock());
    current_ = state_.snapshot();
    if (updateMapAndTree()) {
      current_.cache = buildCache(*current_.map, current_.tree,
                                  configuredName().value_or(deviceName()), deviceId_);
      trace("Initialized cache with " + std::to_string(current_.cache->size()) + " items.");
      // Stored first: a device whose virtual modules are refused still
      // serves its meter values from the next call on.
      state_.store(current_);
      rebuildVirtualModules(deviceId_, current_.map, current_.cache, current_.tree);
    }
  }
  pending_.reset(current_.cache);
  passTick_.reset();
  refreshQueue_.clear();
  refreshed_.clear();
  TreeTranslator::begin(transaction);
}

uint32_t MappedTranslator::passTick() {
  if (!passTick_)
    passTick_ = arxmod::currentClock().tickNow();
  return *passTick_;
}

bool MappedTranslator::prepareInvocation(uint32_t handle, uint32_t method, PICType *argument,
                                         XL::Transaction &transaction,
                                         IRefPtr<XL::Transaction> &subTransaction) {
  const arxmod::ARXObj *object = findObject(handle);
  if (!object)
    return true;
  const arxmod::TranslationInfo *entry = current_.map->entryFor(handle);
  if (!entry)
    return true;
  if (method == 3 && !entry->dynamicLabel->activeFormat().text.empty())
    return prepareLabelSources(*entry->dynamicLabel, argument, transaction, subTransaction);

  Cache &cache = *current_.cache;
  const uint32_t now = passTick();
  if (cache.checkRead(handle, now, pending_) == Cache::ReadNeed::Stands)
    return true;
  if (method == 21)
    for (const uint32_t reference : referenceHandles(*entry)) {
      if (reference == 0 || cache.isFresh(reference, now))
        continue;
      const bool ready = prepareReference(reference, argument, transaction, subTransaction);
      cache.markPending(reference, pending_);
      if (!ready) {
        if (subTransaction)
          subTransaction->close();
        return false;
      }
    }
  if (!prepareDeviceRequest(*entry, object, method, argument, transaction, subTransaction))
    return false;
  cache.markPending(handle, pending_);
  return true;
}

// A reference already on the way down (a map whose references form a
// cycle), or one below kMaxReferenceDepth, is answered from the cache as it
// stands rather than recursing without end.
bool MappedTranslator::prepareReference(uint32_t handle, PICType *argument,
                                        XL::Transaction &transaction,
                                        IRefPtr<XL::Transaction> &subTransaction) {
  if (preparing_.size() >= kMaxReferenceDepth || !preparing_.insert(handle).second)
    return true;
  bool ready = false;
  try {
    ready = prepareInvocation(handle, 21, argument, transaction, subTransaction);
  } catch (...) {
    preparing_.erase(handle);
    throw;
  }
  preparing_.erase(handle);
  return ready;
}

bool MappedTranslator::prepareLabelSources(const DynamicLabel &label, PICType *argument,
                                           XL::Transaction &transaction,
                                           IRefPtr<XL::Transaction> &subTransaction) {
  bool ready = true;
  for (const uint32_t source : {label.ordinalHandle, label.deviceLabelHandle})
    if (source != 0)
      ready = prepareInvocation(source, 21, argument, transaction, subTransaction) && ready;
  return ready;
}

void MappedTranslator::handleResponse(const IRefPtr<XL::Request> &request,
                                      const IRefPtr<XL::Response> &response) {
  if (!response)
    return;
  applyResponse(request, response);
  if (response->status != XL::ResponseOkay) {
    if (status() == XL::ResponseOkay)
      setStatus(response->status);
    return;
  }
  // The times are taken once for all replies of the pass, in distribute.
  passReplies_.good = true;
  passReplies_.configWritten = passReplies_.configWritten || isConfigWrite(*request);
}

PICType *MappedTranslator::evaluateRead(uint32_t handle, arxmod::MemoryBlob &blob) {
  PICType *argument = blob.make<arxmod::VoidType>();
  try {
    return invokeMapped(handle, 21, argument);
  } catch (const MappedARXException &failure) {
    return failure.text().empty()
               ? exceptionResult(blob, failure.code())
               : blob.make<arxmod::ExceptionType>(failure.code(), failure.text());
  } catch (Except_type code) {
    return exceptionResult(blob, code);
  }
}

void MappedTranslator::distribute(XL::Transaction &subTransaction, XL::Transaction &transaction) {
  passReplies_ = {};
  passTick_.reset();
  TreeTranslator::distribute(subTransaction, transaction);
  if (pending_.empty() && !passReplies_.good)
    return;
  const arxmod::Clock &clock = arxmod::currentClock();
  const uint32_t tick = clock.tickNow();
  const arxmod::WallTime wall = clock.wallNow();
  if (passReplies_.configWritten)
    state_.configTime.store(arxmod::unixWholeSeconds(wall));
  if (passReplies_.good) {
    state_.lastGoodTick.store(tick);
    state_.goodReplySeen.store(true);
  }
  arxmod::MemoryBlob blob(arxmod::kProgramBlobSize);
  while (!pending_.empty()) {
    const uint32_t handle = pending_.front();
    if (current_.cache->finishRead(handle, evaluateRead(handle, blob), arxmod::unixSeconds(wall),
                                   tick))
      state_.configTime.store(arxmod::unixWholeSeconds(wall));
    pending_.pop();
  }
}

} // namespace XLARX
