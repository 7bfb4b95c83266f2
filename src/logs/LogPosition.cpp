// LogPosition: the map under its lock, and the reads and writes of its file.
#include "logs/LogPosition.h"

#include "logs/LogFileIo.h"
#include "logs/LogReports.h"

#include <stdexcept>

namespace arxmod {

LogPosition::LogPosition(std::filesystem::path file) : file_(std::move(file)) {}

void LogPosition::readPositionFile() {
  PositionMap loaded;
  bool missing = false;
  const std::string fault = arxmod::readPositionFile(file_, loaded, missing);
  if (!fault.empty()) {
    logPositionTrace()("", fault);
    if (!missing)
      reportLogFileFault(logPositionTrace(), fault, file_);
    return;
  }
  std::lock_guard lock(lock_);
  for (const auto &[key, position] : loaded)
    positions_[key] = position;
}

bool LogPosition::writePositionFile() {
  std::lock_guard writing(writeLock_);
  std::vector<uint8_t> bytes;
  uint64_t version = 0;
  try {
    std::lock_guard lock(lock_);
    if (positions_.empty() || writtenVersion_ == version_)
      return true;
    if (positions_.size() > kPositionFileMaxEntries)
      throw std::length_error("too many logs for the position file");
    bytes = encodePositionFile(positions_);
    version = version_;
  } catch (const std::exception &) {
    reportWriteFault("Could not create data stream for log position file", 0);
    return false;
  }
  if (const int error = ensureDirectory(file_.parent_path())) {
    reportWriteFault("Could not open log position file for writing", error);
    return false;
  }
  const WriteResult result = replaceFile(file_, {bytes});
  if (!result) {
    reportWriteFault(result.step == WriteStep::Open ? "Could not open log position file for writing"
                                                    : "Could not write log position file",
                     result.error);
    return false;
  }
  faultReported_ = false;
  std::lock_guard lock(lock_);
  writtenVersion_ = version;
  return true;
}

void LogPosition::reportWriteFault(const char *message, int error) {
  logPositionTrace()("", message);
  if (faultReported_)
    return;
  faultReported_ = true;
  reportLogFileFault(logPositionTrace(), message, file_, error ? errorText(error) : "");
}

std::optional<uint32_t> LogPosition::position(LogKey key) const {
  std::lock_guard lock(lock_);
  const auto found = positions_.find(key);
  if (found == positions_.end())
    return std::nullopt;
  return found->second;
}

void LogPosition::setPosition(LogKey key, uint32_t position) {
  std::lock_guard lock(lock_);
  auto [entry, inserted] = positions_.try_emplace(key, position);
  if (inserted || entry->second != position) {
    entry->second = position;
    ++version_;
  }
}

PositionMap LogPosition::snapshot() const {
  std::lock_guard lock(lock_);
  return positions_;
}

} // namespace arxmod
