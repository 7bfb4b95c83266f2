// XLARX::SlotValueRecorder: per-slot arenas, held records and restore.
#include "logs/SlotValueRecorder.h"

#include "logs/RecorderCache.h"
#include "types/PICTypeContainer.h"
#include "types/StructureArrays.h"

namespace XLARX {

using namespace arxmod;

namespace {

// First chunk of a slot's arena: one event record fits.
constexpr size_t kSlotArenaSize = 512;

} // namespace

SlotValueRecorder::SlotValueRecorder(Identity identity, std::unique_ptr<RegisterObj> logRegister)
    : BufRecorder(std::move(identity)), logRegister_(std::move(logRegister)), arenas_(depth()),
      values_(depth(), nullptr) {}

void SlotValueRecorder::keepValue(uint32_t slot, const PICType &value) {
  auto arena = std::make_unique<MemoryBlob>(kSlotArenaSize);
  values_[slot] = value.duplicate(*arena);
  arenas_[slot] = std::move(arena);
}

void SlotValueRecorder::storeValue(uint32_t slot, uint32_t, double, const PICType &value) {
  checkValue(value);
  keepValue(slot, value);
}

PICTypeContainer *SlotValueRecorder::slotValues(uint32_t slot, MemoryBlob &blob) const {
  auto *values = blob.make<PICTypeContainer>();
  if (values_[slot])
    values->append(values_[slot]->duplicate(blob));
  return values;
}

void SlotValueRecorder::dropValues() {
  for (auto &arena : arenas_)
    arena.reset();
  std::fill(values_.begin(), values_.end(), nullptr);
}

const LogArrayType &SlotValueRecorder::heldRecords(MemoryBlob &blob) const {
  PICType *records = readRecords(blob, nullptr);
  if (auto *array = dynamic_cast<LogArrayType *>(records))
    return *array;
  return *blob.make<LogArrayType>();
}

const LogArrayType *SlotValueRecorder::readCache(uint64_t bytesPerSlot, MemoryBlob &blob) const {
  try {
    return readRecorderCache(fileName(), handle(), bytesPerSlot * (uint64_t{depth()} + 1), blob);
  } catch (const KSXmsg &corrupt) {
    throw RecorderFileError(corrupt.text(), fileName());
  }
}

void SlotValueRecorder::restoreRecords(const std::vector<RestoredRecord> &records) {
  for (const RestoredRecord &record : records)
    advancePositionPast(record.sequence);
  resetSlots();
  dropValues();
  for (const RestoredRecord &record : records) {
    if (!inWindow(record.sequence))
      continue;
    const uint32_t slot = record.sequence % depth();
    keepValue(slot, *record.value);
    placeRestoredRecord(slot, record.sequence, record.time);
  }
}

} // namespace XLARX
