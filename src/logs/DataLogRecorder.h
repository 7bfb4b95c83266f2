// XLARX::DataLogRecorder: the recorder of a data recorder module's log, kept
// in a data log file (layout in DataLogFormat.h).
//
// A record is the time of the module's pass and one value per source input
// (a number, or not available). The records are kept in memory exactly as
// they lie in the file's record area, so a save writes runs of changed slots
// straight from memory; each record's CRC is computed when it is saved.
//
// Saving: a new file (the first save, after clear, or after a refused
// restore) is written whole through a temporary file and renamed into
// place, so it exists complete or not at all; later saves write the changed
// slots and the auxiliary block in place, and flushSaved() flushes the file
// once the recorder's lock is released. A record torn
// by a crash fails its CRC and is dropped on restore while every other
// record survives.
//
// Restoring is strict: the header's CRC, both configuration words and the
// shape (depth, identifier, channels, sources, values) must match this
// recorder, and the file must have exactly the size of that layout; nothing
// the file claims is allocated, since every size comes from the recorder's
// own configuration. A slot is restored when its CRC holds, its type bytes
// are known and its sequence number belongs in it.
//
// Auxiliary channel 0 (identifier kRestartChannel) holds restart marks: at
// each successful restore, the position at which the log resumed (high
// word) and the Unix time in seconds (low word), so a reader can tell where
// the plug-in was not recording. A damaged auxiliary block is reported and
// its channels start empty; the records are kept.
#pragma once

#include "logs/BufRecorder.h"

#include "logs/LogFileIo.h"

namespace XLARX {

class DataLogRecorder final : public BufRecorder {
public:
  static constexpr uint32_t kRestartChannel = 1;

  // A log of `sources.size()` values per record, owned by `moduleHandle`.
  DataLogRecorder(Identity identity, uint32_t moduleHandle, std::vector<uint32_t> sources);

  const arxmod::DataLogConfig &config() const { return config_; }

  void save() override;
  bool restore() override;

protected:
  void storeValue(uint32_t slot, uint32_t sequence, double time,
                  const arxmod::PICType &value) override;
  arxmod::PICTypeContainer *slotValues(uint32_t slot, arxmod::MemoryBlob &blob) const override;
  void dropValues() override;
  void flushSavedFile() override;

private:
  uint8_t *record(uint32_t slot) { return image_.data() + size_t{slot} * config_.recordSize(); }
  const uint8_t *record(uint32_t slot) const {
    return image_.data() + size_t{slot} * config_.recordSize();
  }
  // Stores the CRC of every changed slot (and, for a new file, marks every
  // unwritten slot invalid).
  void sealRecords(bool wholeFile);
  void SaveNewFile();
  void SaveRecordData(const arxmod::FileDescriptor &file);
  void SaveAuxChannelData(const arxmod::FileDescriptor &file);
  void RestoreHeaderData(const arxmod::ReadOnlyFile &file, uint64_t size);
  void RestoreRecordData(const arxmod::ReadOnlyFile &file, uint64_t size);
  void RestoreAuxChannelData(const arxmod::ReadOnlyFile &file);

  arxmod::DataLogConfig config_;
  std::vector<uint8_t> image_;       // the record area: D slots of R bytes
  std::vector<uint8_t> scratch_;     // the record being appended
  arxmod::FileDescriptor unflushed_; // the file the last save wrote in place
};

} // namespace XLARX
