// XLARX::SlotValueRecorder: the common part of the event and waveform
// recorders, whose records are whole typed values.
//
// Each slot keeps a copy of its record's value in an arena of its own, so
// that overwriting a slot frees the old value (values are otherwise freed
// only with their arena). The recorder also keeps a copy of its log
// register, which its XML cache holds.
#pragma once

#include "logs/BufRecorder.h"
#include "tree/RegisterObj.h"
#include "types/MemoryBlob.h"

#include <memory>

namespace XLARX {

class SlotValueRecorder : public BufRecorder {
public:
  SlotValueRecorder(Identity identity, std::unique_ptr<arxmod::RegisterObj> logRegister);

protected:
  // One record read back from a file.
  struct RestoredRecord {
    uint32_t sequence;
    double time;
    const arxmod::PICType *value;
  };

  // Raises KSXmsg for a value this log does not record.
  virtual void checkValue(const arxmod::PICType &value) const = 0;

  void storeValue(uint32_t slot, uint32_t sequence, double time,
                  const arxmod::PICType &value) override;
  // A list holding a copy of the slot's value.
  arxmod::PICTypeContainer *slotValues(uint32_t slot, arxmod::MemoryBlob &blob) const override;
  void dropValues() override;

  // The records held, oldest first, as a LogArrayType in `blob` (empty when
  // the log is).
  const arxmod::LogArrayType &heldRecords(arxmod::MemoryBlob &blob) const;
  // Replaces the slots by `records`: the position moves past the newest,
  // and those that belong to the window are kept.
  void restoreRecords(const std::vector<RestoredRecord> &records);
  // The records of the recorder's XML cache (RecorderCache.h), which may
  // hold `bytesPerSlot` bytes per slot; nullptr when there is no file.
  // Raises RecorderFileError for a corrupted cache.
  const arxmod::LogArrayType *readCache(uint64_t bytesPerSlot, arxmod::MemoryBlob &blob) const;
  const arxmod::PICType *storedValue(uint32_t slot) const { return values_[slot]; }
  const arxmod::RegisterObj &logRegister() const { return *logRegister_; }

private:
  // Copies `value` into a new arena for `slot`.
  void keepValue(uint32_t slot, const arxmod::PICType &value);

  std::unique_ptr<arxmod::RegisterObj> logRegister_;
  std::vector<std::unique_ptr<arxmod::MemoryBlob>> arenas_;
  std::vector<const arxmod::PICType *> values_;
};

} // namespace XLARX
