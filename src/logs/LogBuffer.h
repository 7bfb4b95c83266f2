// XLARX::LogBuffer: the process-wide registry of the PC-side logs.
//
// One recorder per log register of a device, made on first use by the
// recorder factory (RecorderFactory.h) and restored from its file; the
// position map (LogPosition.h) with the position file "log_position.dat";
// and the save thread (LogBufferSaveThread.h), started with the first
// recorder, which saves changed recorders and then the position file.
// Files live in DataDirectory/translators/logs/.
//
// Every operation names a log by device number, log register handle and
// the device's tree (the key's high word is the device number):
//
//   LogBuffer &logs = LogBuffer::instance();
//   logs.Append(device, handle, tree, unixSeconds(now), *record);
//   PICType *records = logs.GetLogs(device, handle, tree, nullptr, blob);
//
// Locks, always taken in this order: the registry lock that makes the
// instance; the recorder-table lock; a recorder's own lock; the
// position-map lock. The changed set has its own lock, taken alone. The
// table lock is held only to find (or make) a recorder; the work is done
// under the recorder's lock alone, so logs of different devices are used in
// parallel.
//
// Shutdown: shutdownLogBuffer() stops and joins the save thread and saves
// once more; the plug-in's unload calls it, and the process's buffer
// registers it as its thread stop (host/ThreadStops.h) whenever it starts
// its save thread. Recorders stay usable afterwards, and the next change
// starts the save thread again.
#pragma once

#include "logs/BufRecorder.h"
#include "logs/LogBufferSaveThread.h"
#include "logs/LogPosition.h"
#include "tree/TranslationTree.h"

#include <filesystem>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <unordered_set>

namespace XLARX {

// Bucket count of the recorder table for `recorders` recorders: 11 up to 20
// recorders, rising in steps to 13163 from 10001 on.
size_t recorderBucketCount(size_t recorders);

class LogBuffer {
public:
  // A buffer with its files in `directory` (created when missing); reads the
  // position file.
  explicit LogBuffer(std::filesystem::path directory);
  // Shuts down (see shutdown()).
  ~LogBuffer();
  LogBuffer(const LogBuffer &) = delete;
  LogBuffer &operator=(const LogBuffer &) = delete;

  // The process's buffer, made on first use in the log directory of the
  // host's DataDirectory setting (the working directory without one).
  static LogBuffer &instance();
  // DataDirectory/translators/logs.
  static std::filesystem::path defaultDirectory();

  // The records of the log for `request` (BufRecorder::readRecords), built
  // in `blob`; an ExceptionType with code 5 "Not Available" when the
  // register has no recorder.
  arxmod::PICType *GetLogs(uint32_t device, uint32_t handle, const arxmod::TreeReader &tree,
                           const arxmod::PICType *request, arxmod::MemoryBlob &blob);
  // The recorder's position (the sequence number of its next record), or 0
  // when the register has no recorder.
  uint32_t GetLogPosition(uint32_t device, uint32_t handle, const arxmod::TreeReader &tree);
  // The position when the register has a recorder, else nullopt.
  std::optional<uint32_t> RecordedPosition(uint32_t device, uint32_t handle,
                                           const arxmod::TreeReader &tree);
  // Adds a record (time in seconds since 1970) and marks the log changed.
  // Raises "Unknown log register: <description>" when the register gets no
  // recorder.
  void Append(uint32_t device, uint32_t handle, const arxmod::TreeReader &tree, double time,
              const arxmod::PICType &value);
  // Empties the log; its next save starts a new file.
  void Clear(uint32_t device, uint32_t handle, const arxmod::TreeReader &tree);
  // Saves the log if it changed and drops its recorder (its position is kept).
  void CleanupRecorder(uint32_t device, uint32_t handle);
  // Adds the key to the changed set and signals the save thread.
  void MarkChanged(arxmod::LogKey key);

  // One save: every changed recorder, then the position file. A recorder
  // whose save failed stays changed and is tried again at the next save.
  void saveChanged();
  // Stops and joins the save thread, then saves once more. Idempotent; a
  // later change starts the thread again.
  void shutdown();

  const std::filesystem::path &directory() const { return directory_; }
  arxmod::LogPosition &positions() { return positions_; }
  LogBufferSaveThread &saveThread() { return saveThread_; }
  size_t recorderCount() const;
  size_t bucketCount() const;

private:
  struct FoundRecorder {
    arxmod::IRefPtr<BufRecorder> recorder;
    std::unique_lock<std::mutex> lock; // the recorder's lock
    bool made = false;                 // made by this look-up
    explicit operator bool() const { return static_cast<bool>(recorder); }
  };

  // The recorder of `key`, locked; made through the factory when missing
  // and `tree` is given. Empty when there is none.
  FoundRecorder findRecorder(arxmod::LogKey key, const arxmod::TreeReader *tree);
  // Saves and flushes a found recorder, releasing its lock before the
  // flush (save lock held). False when something is left unsaved.
  bool saveRecorder(FoundRecorder &found);
  // Adds a new recorder to the table (table lock held).
  void registerRecorder(arxmod::LogKey key, const arxmod::IRefPtr<BufRecorder> &recorder);
  // Starts the save thread unless it runs; the process's buffer first
  // registers its thread stop.
  void ensureSaveThread();

  LogBuffer(std::filesystem::path directory, bool processWide);

  const std::filesystem::path directory_;
  const bool processWide_; // the buffer of instance()
  arxmod::LogPosition positions_;
  mutable std::mutex tableLock_;
  std::unordered_map<arxmod::LogKey, arxmod::IRefPtr<BufRecorder>> recorders_;
  std::mutex changedLock_;
  std::unordered_set<arxmod::LogKey> changed_;
  std::mutex saveLock_; // one save at a time (the thread, shutdown, CleanupRecorder)
  LogBufferSaveThread saveThread_;
};

// A description of a log for messages: "handle 0x00000108 of device 7
// ('Data Log', class 30)", or "... (not in the device's tree)".
std::string describeLog(uint32_t device, uint32_t handle, const arxmod::TreeReader &tree);

} // namespace XLARX

namespace arxmod {

// Stops the process's log buffer (if it was made): joins its save thread
// after a last save. The plug-in calls it when it unloads.
void shutdownLogBuffer();
// Shuts the process's log buffer down and destroys it with its recorders;
// the next use makes a new one. The plug-in calls it when it unloads.
void releaseLogBuffer() noexcept;

} // namespace arxmod
