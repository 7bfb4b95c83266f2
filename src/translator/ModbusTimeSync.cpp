// XLARX::ModbusTranslator: the periodic synchronisation of the meter's
// clock.
//
// Per call, timeSyncState (TimeSyncState):
//
//   3 Idle       -> 1 Requested  prepareInvocation: timeSyncDue() and the
//                                pass's transaction holds nothing (else it
//                                is closed, and the synchronisation takes
//                                the next pass); claimTimeSync()
//   1 Requested  -> 2 Sent       prepareTimeSync: performTimeSync() added
//                                the request that sets the clock; logged
//   2 Sent       -> 3 Idle       timeSyncReplied: good reply, lastTimeSync
//                                = now; any other, put off (below)
//
// Per device, lastTimeSync (ModbusDeviceState, under its lock), with I =
// timeSyncInterval() seconds:
//   - 0 (first call for the device): set to now - I + 300 when I > 299,
//     else now: the first synchronisation is due 300 s (or I) later;
//   - at least I/2 in the future (the clock went back): now - I;
//   - due once now - lastTimeSync > I, unless within 75 s of a five-minute
//     boundary of the UTC clock: then retried 15 s later;
//   - a failed synchronisation is put off by I/4 seconds, held to 30..300:
//     lastTimeSync = now + put-off - I.
// Starting a synchronisation claims it with that same put-off, under the
// record's lock and only when no other call has moved lastTimeSync since
// it was found due, so that calls for one device running side by side
// never both set the clock, and a call that ends before the reply leaves
// the next try put off like a failure.
#include "translator/ModbusTranslator.h"

#include "base/Clock.h"
#include "base/KSXmsg.h"
#include "host/SLMessage.h"

#include <algorithm>
#include <chrono>

namespace XLARX {

using arxmod::IRefPtr;

namespace {

constexpr uint32_t kForcedInterval = 0x1000000; // a translator interval the map cannot change
constexpr int64_t kLowestMapInterval = 29;      // map values 1 to 29 keep the translator's
constexpr int64_t kFirstSyncDelay = 300;        // seconds after the device's first call
constexpr int64_t kNearMarkRetry = 15;          // seconds
constexpr int64_t kPutOffMin = 30;
constexpr int64_t kPutOffMax = 300;
constexpr int64_t kMarkPeriodMs = 300000; // five minutes
constexpr int64_t kMarkMarginMs = 75000;  // 1.25 minutes each side of a mark

int64_t nowSeconds() { return arxmod::unixWholeSeconds(arxmod::currentClock().wallNow()); }

int64_t putOff(int64_t interval) { return std::clamp(interval / 4, kPutOffMin, kPutOffMax); }

} // namespace

uint32_t ModbusTranslator::ownTimeSyncInterval() {
  if (!timeSyncDefault_)
    timeSyncDefault_ = timeSyncDefault();
  return *timeSyncDefault_;
}

int64_t ModbusTranslator::timeSyncInterval() {
  const uint32_t own = ownTimeSyncInterval();
  if (own == 0)
    return 0;
  if (own >= kForcedInterval)
    return own & 0xFFFFFF;
  const int32_t mapped = map()->settings().timeSyncInterval;
  if (mapped == 0)
    return 0;
  if (static_cast<uint32_t>(mapped) > kLowestMapInterval) // a negative value counts here
    return mapped;
  return own & 0xFFFFFF;
}

bool ModbusTranslator::nearFiveMinuteMark() const {
  using namespace std::chrono;
  const int64_t ms =
      duration_cast<milliseconds>(arxmod::currentClock().wallNow().time_since_epoch()).count();
  const int64_t sinceMark = ((ms % kMarkPeriodMs) + kMarkPeriodMs) % kMarkPeriodMs;
  return sinceMark < kMarkMarginMs || sinceMark >= kMarkPeriodMs - kMarkMarginMs;
}

bool ModbusTranslator::timeSyncDue() {
  const int64_t interval = timeSyncInterval();
  if (interval <= 0)
    return false;
  const int64_t now = nowSeconds();
  std::lock_guard guard(deviceRecord_.lock);
  int64_t &last = deviceRecord_.lastTimeSync;
  if (last == 0)
    last = interval > kFirstSyncDelay - 1 ? now - interval + kFirstSyncDelay : now;
  if (last - now >= interval / 2)
    last = now - interval;
  if (now - last <= interval)
    return false;
  if (nearFiveMinuteMark()) {
    last = now - interval + kNearMarkRetry;
    return false;
  }
  dueSeen_ = last;
  return true;
}

bool ModbusTranslator::claimTimeSync() {
  const int64_t interval = timeSyncInterval();
  const int64_t now = nowSeconds();
  std::lock_guard guard(deviceRecord_.lock);
  if (deviceRecord_.lastTimeSync != dueSeen_)
    return false; // another call started or finished one meanwhile
  deviceRecord_.lastTimeSync = now + putOff(interval) - interval;
  return true;
}

bool ModbusTranslator::prepareTimeSync(XL::Transaction &transaction,
                                       IRefPtr<XL::Transaction> &subTransaction) {
  subTransactionFor(transaction, subTransaction);
  const size_t before = subTransaction->requests().size();
  if (performTimeSync(transaction, subTransaction)) {
    timeSyncState_ = TimeSyncState::Sent;
    if (subTransaction->requests().size() > before)
      timeSyncRequest_ = arxmod::refCast<ModbusRequest>(subTransaction->requests().back());
    logTimeSync();
  }
  return false;
}

void ModbusTranslator::timeSyncReplied(const XL::Request &request, const XL::Response &response) {
  const int64_t interval = timeSyncInterval();
  const int64_t now = nowSeconds();
  std::lock_guard guard(deviceRecord_.lock);
  if (!isResponseOkay(request, response)) {
    timeSyncState_ = TimeSyncState::Idle;
    deviceRecord_.lastTimeSync = now + putOff(interval) - interval;
  } else if (timeSyncState_ == TimeSyncState::Sent) {
    timeSyncState_ = TimeSyncState::Idle;
    deviceRecord_.lastTimeSync = now;
  }
}

bool ModbusTranslator::performTimeSync(XL::Transaction & /*transaction*/,
                                       IRefPtr<XL::Transaction> & /*subTransaction*/) {
  if (ownTimeSyncInterval() == 0)
    return true;
  throw arxmod::KSXmsg("PerformTimesync not implemented !");
}

void ModbusTranslator::logTimeSync() {
  std::string device = "DeviceName";
  std::string site = "SiteName";
  if (std::optional<arxmod::DeviceRecord> record = configuredDevice()) {
    device = std::move(record->name);
    if (!record->siteName.empty())
      site = std::move(record->siteName);
  }
  arxmod::SLMessage(arxmod::LogDestination::Console, "TimeSyncing '" + device + "'")
      .write(5, site, 102, "FIELDHUB", "");
}

} // namespace XLARX
