// XLARX::BufRecorder: the ring, reads by range, set-up and save reports.
#include "logs/BufRecorder.h"

#include "base/Clock.h"
#include "logs/LogFileIo.h"
#include "logs/LogReports.h"
#include "types/NumericTypes.h"
#include "types/StructureArrays.h"

#include <algorithm>
#include <cerrno>

namespace XLARX {

using namespace arxmod;

BufRecorder::BufRecorder(Identity identity)
    : key_(identity.key), depth_(std::max<uint32_t>(identity.depth, 1)),
      file_(std::move(identity.file)), position_(identity.position), slots_(depth_) {}

bool BufRecorder::inWindow(uint32_t sequence) const {
  return sequence < position_ && sequence >= position_ - std::min(position_, depth_);
}

bool BufRecorder::holds(uint32_t slot, uint32_t sequence) const {
  const Slot &held = slots_[slot];
  return held.written && held.sequence == sequence && inWindow(sequence);
}

size_t BufRecorder::recordCount() const {
  const uint32_t window = std::min(position_, depth_);
  size_t count = 0;
  for (uint32_t sequence = position_ - window; sequence != position_; ++sequence)
    count += holds(sequence % depth_, sequence) ? 1 : 0;
  return count;
}

PICType *BufRecorder::readRecords(MemoryBlob &blob, const PICType *request) const {
  try {
    const uint32_t window = std::min(position_, depth_);
    uint64_t first = position_ - window;
    uint64_t last = uint64_t{position_} - 1; // below `first` when the log is empty
    if (request && request->typeName() == "RangeType") {
      const auto &range = static_cast<const RangeType &>(*request);
      first = std::max<uint64_t>(first, picCast<UnsignedType>(range.field(0))->get());
      last = std::min<uint64_t>(last, picCast<UnsignedType>(range.field(1))->get());
    } else if (request && request->typeName() != "VoidType") {
      return blob.make<ExceptionType>(3u, "Wrong Data Type");
    }
    if (recordCount() == 0)
      return blob.make<ExceptionType>(5u, "Not Available");
    auto *records = blob.make<LogArrayType>();
    for (uint64_t sequence = first; sequence <= last && sequence < position_; ++sequence) {
      const auto number = static_cast<uint32_t>(sequence);
      const uint32_t slot = number % depth_;
      if (!holds(slot, number))
        continue;
      auto *record = blob.make<LogRecordType>();
      record->setRecordNumber(number);
      record->setNumeric(blob.make<Float64Type>(slots_[slot].time));
      record->setValues(slotValues(slot, blob));
      records->append(record);
    }
    return records;
  } catch (const RecordValueUnsupported &) {
    throw;
  } catch (const KSXmsg &failure) {
    throw KSXmsg("Could not get logs from the log recorder buffer. Reason: " + failure.text());
  } catch (...) {
    throw KSXmsg("An unknown error occurred in BufRecorder::GetLogs");
  }
}

void BufRecorder::append(double time, const PICType &value) {
  const uint32_t slot = position_ % depth_;
  storeValue(slot, position_, time, value);
  Slot &target = slots_[slot];
  if (!target.changed)
    ++changedSlots_;
  target = {position_, time, true, true};
  ++position_;
  changed_ = true;
}

void BufRecorder::clear() {
  dropValues();
  resetSlots();
  for (auto &channel : aux_)
    channel.values.clear();
  startNewFile();
}

void BufRecorder::startNewFile() {
  newFile_ = true;
  changed_ = true;
}

void BufRecorder::finishSetup() {
  try {
    if (restore())
      newFile_ = false; // later saves update the restored file in place
    else
      startNewFile();
  } catch (const RecorderFileError &refused) {
    logBufferTrace()(logKeyText(key_), refused.text());
    reportLogFileFault(logBufferTrace(), refused.text(), refused.file());
    resetSlots();
    keepRefusedFile(refused);
    startNewFile();
  }
  usable_ = true;
}

void BufRecorder::keepRefusedFile(const RecorderFileError &refused) {
  int error = 0;
  if (const auto kept = keepAside(refused.file(), error)) {
    logBufferTrace()(logKeyText(key_), "Refused file kept as " + kept->string());
    return;
  }
  if (error != ENOENT)
    keepAsidePending_ = true;
}

void BufRecorder::moveRefusedFileAway(const char *message) {
  if (!keepAsidePending_)
    return;
  int error = 0;
  if (!keepAside(file_, error) && error != ENOENT)
    throw RecorderFileError(message, file_, error);
  keepAsidePending_ = false;
}

bool BufRecorder::saveIfChanged() {
  if (!changed_)
    return true;
  try {
    save();
    saveFaultReported_ = false;
    return true;
  } catch (const RecorderFileError &failure) {
    reportSaveFault(failure, failure.file(), failure.error());
  } catch (const KSXmsg &failure) {
    reportSaveFault(failure, file_, 0);
  }
  return false;
}

bool BufRecorder::flushSaved() {
  try {
    flushSavedFile();
    return true;
  } catch (const RecorderFileError &failure) {
    reportSaveFault(failure, failure.file(), failure.error());
    return false;
  }
}

void BufRecorder::markAllChanged() {
  for (Slot &slot : slots_) {
    if (slot.written && !slot.changed) {
      slot.changed = true;
      ++changedSlots_;
    }
  }
  auxChanged_ = true;
  changed_ = true;
}

void BufRecorder::reportSaveFault(const KSXmsg &failure, const std::filesystem::path &file,
                                  int error) {
  logBufferTrace()(logKeyText(key_), failure.text());
  if (!saveFaultReported_)
    reportLogFileFault(logBufferTrace(), failure.text(), file, error ? errorText(error) : "");
  saveFaultReported_ = true;
}

void BufRecorder::placeRestoredRecord(uint32_t slot, uint32_t sequence, double time) {
  slots_[slot] = {sequence, time, true, false};
}

void BufRecorder::advancePositionPast(uint32_t sequence) {
  if (sequence >= position_)
    position_ = sequence + 1;
}

void BufRecorder::resetSlots() {
  std::fill(slots_.begin(), slots_.end(), Slot{});
  changedSlots_ = 0;
}

void BufRecorder::markSaved() {
  for (Slot &slot : slots_)
    slot.changed = false;
  changedSlots_ = 0;
  changed_ = false;
  auxChanged_ = false;
  newFile_ = false;
}

void BufRecorder::appendAuxValue(size_t channel, uint64_t value) {
  std::vector<uint64_t> &values = aux_.at(channel).values;
  if (values.size() >= depth_)
    values.erase(values.begin(),
                 values.begin() + static_cast<ptrdiff_t>(values.size() - depth_ + 1));
  values.push_back(value);
  auxChanged_ = true;
  changed_ = true;
}

} // namespace XLARX
