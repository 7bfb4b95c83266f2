// XLARX::MappedTranslator: the cache refresh, the end of a pass and the
// probe of a quiet meter.
//
// The refresh runs before each program pass and, when a pass asked the
// meter nothing, at its end. It queues the cached values that are due (see
// Cache::collectDue) and prepares a read of each, in refresh order, into
// the pass's sub-transaction, where the reads merge with the program's
// own. A value is queued at most once per call, so a read that produced
// nothing is not asked again pass after pass. The groups' next due times
// move on once the queue has been worked off.
#include "translator/MappedTranslator.h"

#include "base/Clock.h"

#include <algorithm>
#include <cctype>

namespace XLARX {

using arxmod::IRefPtr;

bool MappedTranslator::readyForPrograms(XL::Transaction &transaction,
                                        IRefPtr<XL::Transaction> &subTransaction) {
  if (subTransaction && !subTransaction->requests().empty()) {
    subTransaction->close();
    return true;
  }
  Cache &cache = *current_.cache;
  const uint32_t now = passTick();
  if (refreshQueue_.empty()) {
    std::vector<uint32_t> due;
    cache.collectDue(
        now, cache.dueGroups(now), [this](uint32_t handle) { return refreshed_.contains(handle); },
        pending_, due);
    refreshed_.insert(due.begin(), due.end());
    refreshQueue_.assign(due.begin(), due.end());
  }
  while (!refreshQueue_.empty()) {
    if (!prepareInvocation(refreshQueue_.front(), 21, void_, transaction, subTransaction))
      return false;
    refreshQueue_.pop_front();
    if (subTransaction && subTransaction->closed())
      return false;
  }
  const arxmod::MapSettings &settings = current_.map->settings();
  cache.finishRefresh(now, settings.lowSpeedPeriodMs, settings.highSpeedPeriodMs);
  return true;
}

bool MappedTranslator::meterQuietTooLong() const {
  if (!state_.goodReplySeen.load())
    return true;
  const uint32_t quiet = arxmod::currentClock().tickNow() - state_.lastGoodTick.load();
  return quiet > kProbeAfterMs;
}

void MappedTranslator::endOfPass(XL::Transaction &transaction,
                                 IRefPtr<XL::Transaction> &subTransaction) {
  if (!subTransaction && !skipRefresh())
    readyForPrograms(transaction, subTransaction);
  if (!subTransaction && meterQuietTooLong())
    probe(transaction, subTransaction);
  TreeTranslator::endOfPass(transaction, subTransaction);
}

namespace {

// A plain register address on the device's own unit: decimal digits only.
bool plainAddress(const std::string &address) {
  return !address.empty() && std::all_of(address.begin(), address.end(),
                                         [](unsigned char c) { return std::isdigit(c) != 0; });
}

} // namespace

void MappedTranslator::probe(XL::Transaction &transaction,
                             IRefPtr<XL::Transaction> &subTransaction) {
  for (const IRefPtr<arxmod::TranslationInfo> &entry : current_.map->entries()) {
    const arxmod::ARXObj *object = findObject(entry->handle);
    if (!object || !plainAddress(entry->modbusAddress))
      continue;
    prepareDeviceRequest(*entry, object, 21, void_, transaction, subTransaction);
    if (subTransaction && !subTransaction->requests().empty())
      return;
  }
}

} // namespace XLARX
