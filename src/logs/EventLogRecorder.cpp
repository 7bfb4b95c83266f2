// XLARX::EventLogRecorder: the cache of the event log.
#include "logs/EventLogRecorder.h"

#include "logs/RecorderCache.h"
#include "types/PICTypeContainer.h"

namespace XLARX {

using namespace arxmod;

namespace {

// The cache of a log of depth D is far below this many bytes per slot.
constexpr uint64_t kCacheBytesPerSlot = 64 * 1024;

} // namespace

void EventLogRecorder::save() {
  moveRefusedFileAway("Could not save recorder cache.");
  int error = 0;
  std::string reason;
  try {
    MemoryBlob blob(kProgramBlobSize);
    reason = writeRecorderCache(logRegister(), heldRecords(blob), fileName(), error);
  } catch (const KSXmsg &failure) {
    reason = failure.text();
  } catch (...) {
    throw RecorderFileError("Could not save recorder cache.", fileName());
  }
  if (!reason.empty())
    throw RecorderFileError("Could not save recorder cache. Reason: " + reason, fileName());
  markSaved();
}

bool EventLogRecorder::restore() {
  MemoryBlob blob(kProgramBlobSize);
  const LogArrayType *cache = readCache(kCacheBytesPerSlot, blob);
  if (!cache)
    return false;
  std::vector<RestoredRecord> records;
  for (const PICType *item : cache->items()) {
    const auto *record = static_cast<const LogRecordType *>(item);
    if (record->listCount() != 1)
      throw RecorderFileError(kCorruptCacheMessage, fileName());
    records.push_back(
        {record->recordNumber(), record->numeric()->asDouble(), record->values()->first()});
  }
  restoreRecords(records);
  return true;
}

} // namespace XLARX
