// LogPosition: the position map of the log buffer and its file.
//
// Keeps, per log key, the sequence number of the next record, so that a
// recorder made after a restart continues where the log stopped. Loaded
// from the position file when the buffer is made, written by the save
// thread after the recorders have saved. Faults are reported on the
// "LOGPOS" trace; a refused file and a failing write also reach the system
// log (a write failure once until a write succeeds again, not every cycle).
#pragma once

#include "logs/PositionFile.h"

#include <filesystem>
#include <mutex>
#include <optional>

namespace arxmod {

class LogPosition {
public:
  // `file` is the position file; nothing is read until readPositionFile.
  explicit LogPosition(std::filesystem::path file);
  LogPosition(const LogPosition &) = delete;
  LogPosition &operator=(const LogPosition &) = delete;

  // Loads the file into the map; a fault leaves the map as it was.
  void readPositionFile();
  // Writes the map when it is not empty and changed since the last write.
  // True when the file holds the map afterwards (or there was nothing to write).
  bool writePositionFile();

  std::optional<uint32_t> position(LogKey key) const;
  void setPosition(LogKey key, uint32_t position);
  PositionMap snapshot() const;
  const std::filesystem::path &file() const { return file_; }

private:
  void reportWriteFault(const char *message, int error);

  const std::filesystem::path file_;
  // Serialises writers of the file; taken before lock_, and held across the
  // disk writes so that appends, which take only lock_, never wait for them.
  std::mutex writeLock_;
  mutable std::mutex lock_;
  PositionMap positions_;
  uint64_t version_ = 0;        // counts changes of the map
  uint64_t writtenVersion_ = 0; // the version the file holds
  bool faultReported_ = false;  // a write fault went to the system log (writeLock_)
};

} // namespace arxmod
