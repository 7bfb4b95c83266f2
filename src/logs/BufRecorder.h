// XLARX::BufRecorder: one PC-side log of a device, the common part of the
// data, event and waveform recorders.
//
// A recorder holds its records in memory as a ring of fixed depth D: the
// record with sequence number s lives in slot s mod D, and the recorder's
// position is the sequence number of the next record. The records held are
// those of the last min(position, D) sequence numbers whose slot still
// holds them. Each slot carries a written flag (it holds a record) and a
// changed flag (its record is not yet in the file).
//
// Lifecycle (the log buffer drives it, always with lock() held):
//
//   made by the factory -> finishSetup(): restore() from the file, or, when
//   there is none or it is refused, startNewFile() -> append / readRecords /
//   clear ... -> saveIfChanged() then flushSaved() on the save thread,
//   repeatedly.
//
// A refused file is reported (trace "LOGBUF" and the system log, with its
// path) and kept beside the new one under the name "<file>.refused-N", so a
// restore failure never destroys what the file held. A failed save leaves
// the changed flags set: the records stay in memory and the next save
// writes them.
#pragma once

#include "base/KSXmsg.h"
#include "base/RefBase.h"
#include "logs/DataLogFormat.h"
#include "logs/LogKey.h"
#include "types/PICTypeContainer.h"

#include <filesystem>
#include <mutex>
#include <vector>

namespace XLARX {

// A file fault of a recorder: the message names the failing step, file()
// the file and error() the errno value (0 when there is none).
class RecorderFileError : public arxmod::KSXmsg {
public:
  RecorderFileError(std::string message, std::filesystem::path file, int error = 0)
      : KSXmsg(std::move(message)), file_(std::move(file)), error_(error) {}
  const std::filesystem::path &file() const noexcept { return file_; }
  int error() const noexcept { return error_; }

private:
  std::filesystem::path file_;
  int error_;
};

// A record value of a type the recorder cannot convert.
class RecordValueUnsupported : public arxmod::KSXmsg {
public:
  RecordValueUnsupported() : KSXmsg("Not supported type of record value") {}
};

class BufRecorder : public arxmod::RefBase {
public:
  using AuxVector = std::vector<arxmod::AuxChannel>;

  // What every recorder is made from.
  struct Identity {
    arxmod::LogKey key = 0;
    uint32_t depth = 1;    // record slots, at least 1
    uint32_t position = 0; // sequence number of the next record
    std::filesystem::path file;
  };

  explicit BufRecorder(Identity identity);

  arxmod::LogKey key() const { return key_; }
  uint32_t handle() const { return arxmod::logKeyHandle(key_); }
  uint32_t depth() const { return depth_; }
  uint32_t position() const { return position_; }
  const std::filesystem::path &fileName() const { return file_; }
  bool usable() const { return usable_; }
  std::mutex &lock() const { return lock_; }
  const AuxVector &auxChannels() const { return aux_; }

  // The log operations; the caller holds lock().
  //
  // The records asked for, as a LogArrayType in `blob`: all of them for no
  // request (nullptr or VoidType), the sequence numbers first to last
  // (inclusive) for a RangeType. An ExceptionType result for a request of
  // another type (code 3, "Wrong Data Type") and for an empty log (code 5,
  // "Not Available"). Raises "Not supported type of record value" for a
  // value it cannot convert, and "Could not get logs from the log recorder
  // buffer. Reason: ..." for any other failure.
  virtual arxmod::PICType *readRecords(arxmod::MemoryBlob &blob,
                                       const arxmod::PICType *request) const;
  // Adds one record at the position and advances it. The value's form is the
  // derived class's (data log: a list of values; event log: any value;
  // waveform log: a WaveformType); a value it cannot take raises KSXmsg and
  // leaves the log unchanged.
  virtual void append(double time, const arxmod::PICType &value);
  // Empties the log; the next save starts a new file. The position stays.
  virtual void clear();
  // Writes what changed to the file; raises RecorderFileError.
  virtual void save() = 0;
  // Reads the file back; false when there is none, RecorderFileError when
  // it is refused.
  virtual bool restore() = 0;
  // Makes the next save write a whole new file.
  virtual void startNewFile();
  // Restores from the file or starts a new one, and makes the recorder usable.
  virtual void finishSetup();

  // True when a save has something to write.
  bool changed() const { return changed_; }
  // Saves when changed; reports a failure on the trace, and to the system
  // log once until a save succeeds again. True when nothing is left unsaved.
  bool saveIfChanged();
  // Flushes to disk what the last save wrote in place. Called after a save
  // with the recorder's lock released, so appends never wait for the disk
  // (the log buffer's save lock keeps saves and flushes apart). A failure is
  // reported like a failed save and false returned; the caller then calls
  // markAllChanged() under the lock, so the next save writes every record.
  bool flushSaved();
  // Marks every record changed (a flush failed).
  void markAllChanged();
  // Number of records held.
  size_t recordCount() const;

protected:
  struct Slot {
    uint32_t sequence = 0;
    double time = 0;
    bool written = false;
    bool changed = false;
  };

  // The derived class's part of append: keeps `value` for `slot`; raises
  // KSXmsg, before changing anything, for a value it cannot take.
  virtual void storeValue(uint32_t slot, uint32_t sequence, double time,
                          const arxmod::PICType &value) = 0;
  // The record's values as a PICTypeContainer in `blob`.
  virtual arxmod::PICTypeContainer *slotValues(uint32_t slot, arxmod::MemoryBlob &blob) const = 0;
  // Forgets every stored value (clear).
  virtual void dropValues() = 0;
  // The derived part of flushSaved; raises RecorderFileError.
  virtual void flushSavedFile() {}

  // Restore: marks `slot` as holding a saved record.
  void placeRestoredRecord(uint32_t slot, uint32_t sequence, double time);
  // Restore: a position at least as far as the records read and the stored one.
  void advancePositionPast(uint32_t sequence);
  // Forgets every record (before a restore fills the slots again).
  void resetSlots();
  // Every changed flag cleared after a successful save.
  void markSaved();
  // Before a whole new file replaces the old one: moves a refused file away
  // if that failed at restore; raises RecorderFileError when it fails again,
  // so a refused file is never overwritten.
  void moveRefusedFileAway(const char *message);
  // True when `sequence` is one of the last min(position, D) sequence numbers.
  bool inWindow(uint32_t sequence) const;
  // True when `slot` holds the record of `sequence` within the window.
  bool holds(uint32_t slot, uint32_t sequence) const;
  // Adds a value to an auxiliary channel, keeping its last `depth` values.
  void appendAuxValue(size_t channel, uint64_t value);

  const std::vector<Slot> &slots() const { return slots_; }
  bool newFile() const { return newFile_; }
  bool auxChanged() const { return auxChanged_; }
  AuxVector &aux() { return aux_; }
  // What a save writes when not a whole new file.
  bool anySlotChanged() const { return changedSlots_ > 0; }

private:
  void keepRefusedFile(const RecorderFileError &refused);
  // The trace line, and a system-log entry unless one was made since the
  // last successful save.
  void reportSaveFault(const arxmod::KSXmsg &failure, const std::filesystem::path &file, int error);

  const arxmod::LogKey key_;
  const uint32_t depth_;
  const std::filesystem::path file_;
  uint32_t position_;
  std::vector<Slot> slots_;
  AuxVector aux_;
  size_t changedSlots_ = 0;
  bool changed_ = false; // a save has something to write
  bool auxChanged_ = false;
  bool newFile_ = true;           // the next save writes a whole new file
  bool keepAsidePending_ = false; // a refused file still has to be moved away
  bool usable_ = false;
  bool saveFaultReported_ = false;
  mutable std::mutex lock_;
};

} // namespace XLARX
