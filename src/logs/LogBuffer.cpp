// XLARX::LogBuffer: the recorder table, the operations and the save cycle.
#include "logs/LogBuffer.h"

#include "host/ConfigDatabase.h"
#include "host/ThreadStops.h"
#include "logs/LogFileIo.h"
#include "logs/LogReports.h"
#include "logs/RecorderFactory.h"
#include "types/StructureTypes.h"

#include <cinttypes>
#include <cstdio>
#include <utility>

namespace XLARX {

using namespace arxmod;

namespace {

// Runs an operation; a failure that is not a message exception becomes
// "An unknown error occurred in XLARX::LogBuffer::<operation><suffix>".
template <typename Work>
auto guarded(const char *operation, const std::string &suffix, Work &&work) {
  try {
    return work();
  } catch (const KSXmsg &) {
    throw;
  } catch (...) {
    throw KSXmsg(std::string("An unknown error occurred in XLARX::LogBuffer::") + operation +
                 suffix);
  }
}

std::mutex &registryLock() {
  static std::mutex lock;
  return lock;
}

// The process's buffer. Never deleted: its save thread is stopped by
// shutdownLogBuffer() when the plug-in unloads, and nothing may save after
// the host services it reports to are gone.
LogBuffer *&processBuffer() {
  static LogBuffer *buffer = nullptr;
  return buffer;
}

} // namespace

size_t recorderBucketCount(size_t n) {
  if (n >= 10001)
    return 13163;
  if (n >= 5001)
    return 7013;
  if (n > 3000)
    return 4013;
  if (n > 2000)
    return 3019;
  if (n > 1000)
    return 2113;
  if (n > 500)
    return 1031;
  if (n > 200)
    return 503;
  if (n > 100)
    return 313;
  if (n > 50)
    return 103;
  if (n > 20)
    return 53;
  return 11;
}

std::string describeLog(uint32_t device, uint32_t handle, const TreeReader &tree) {
  char text[64];
  std::snprintf(text, sizeof text, "handle 0x%08" PRIX32 " of device %" PRIu32, handle, device);
  std::string description = text;
  if (const ARXObj *object = tree.find(handle))
    description +=
        " ('" + object->name() + "', class " + std::to_string(object->classNumber()) + ")";
  else
    description += " (not in the device's tree)";
  return description;
}

LogBuffer::LogBuffer(std::filesystem::path directory) : LogBuffer(std::move(directory), false) {}

LogBuffer::LogBuffer(std::filesystem::path directory, bool processWide)
    : directory_(std::move(directory)), processWide_(processWide),
      positions_(directory_ / kPositionFileName), saveThread_([this] { saveChanged(); }) {
  // The traces are this buffer's report channel; they exist from here on.
  logBufferTrace();
  if (const int error = ensureDirectory(directory_))
    logBufferTrace()("", "Could not create log directory " + directory_.string() + ": " +
                             errorText(error));
  positions_.readPositionFile();
  // The table is sized by recorderBucketCount, which allows up to two
  // recorders per bucket; beyond 26326 recorders the map grows by itself.
  recorders_.max_load_factor(2.0f);
  recorders_.rehash(recorderBucketCount(0));
}

LogBuffer::~LogBuffer() { shutdown(); }

std::filesystem::path LogBuffer::defaultDirectory() {
  const std::optional<std::string> data = ConfigDatabase::instance().hostSetting("DataDirectory");
  const std::filesystem::path base =
      data && !data->empty() ? std::filesystem::path(*data) : std::filesystem::current_path();
  return base / "translators" / "logs";
}

LogBuffer &LogBuffer::instance() {
  std::lock_guard lock(registryLock());
  LogBuffer *&buffer = processBuffer();
  if (!buffer)
    buffer = new LogBuffer(defaultDirectory(), true);
  return *buffer;
}

void LogBuffer::registerRecorder(LogKey key, const IRefPtr<BufRecorder> &recorder) {
  const size_t before = recorderBucketCount(recorders_.size());
  recorders_.emplace(key, recorder);
  if (const size_t buckets = recorderBucketCount(recorders_.size()); buckets != before)
    recorders_.rehash(buckets);
  positions_.setPosition(key, recorder->position());
  ensureSaveThread();
}

void LogBuffer::ensureSaveThread() {
  if (saveThread_.phase() != LogBufferSaveThread::Phase::NotStarted)
    return;
  if (processWide_)
    registerThreadStop(ThreadStopOrder::LogBuffer, &arxmod::shutdownLogBuffer);
  saveThread_.start();
}

LogBuffer::FoundRecorder LogBuffer::findRecorder(LogKey key, const TreeReader *tree) {
  std::unique_lock table(tableLock_);
  FoundRecorder found;
  if (const auto entry = recorders_.find(key); entry != recorders_.end()) {
    found.recorder = entry->second;
  } else if (tree) {
    const uint32_t start = positions_.position(key).value_or(0);
    IRefPtr<BufRecorder> made = makeRecorder(key, *tree, start, directory_);
    if (!made || !made->usable())
      return found;
    registerRecorder(key, made);
    found.recorder = std::move(made);
    found.made = true;
  } else {
    return found;
  }
  found.lock = std::unique_lock(found.recorder->lock());
  return found;
}

PICType *LogBuffer::GetLogs(uint32_t device, uint32_t handle, const TreeReader &tree,
                            const PICType *request, MemoryBlob &blob) {
  return guarded("GetLogs", "", [&]() -> PICType * {
    const LogKey key = makeLogKey(device, handle);
    FoundRecorder found = findRecorder(key, &tree);
    if (!found)
      return blob.make<ExceptionType>(5u, "Not Available");
    PICType *records = found.recorder->readRecords(blob, request);
    const bool changed = found.made && found.recorder->changed();
    found.lock.unlock();
    if (changed)
      MarkChanged(key);
    return records;
  });
}

std::optional<uint32_t> LogBuffer::RecordedPosition(uint32_t device, uint32_t handle,
                                                    const TreeReader &tree) {
  const LogKey key = makeLogKey(device, handle);
  FoundRecorder found = findRecorder(key, &tree);
  if (!found)
    return std::nullopt;
  const uint32_t position = found.recorder->position();
  const bool changed = found.made && found.recorder->changed();
  found.lock.unlock();
  if (changed)
    MarkChanged(key);
  return position;
}

uint32_t LogBuffer::GetLogPosition(uint32_t device, uint32_t handle, const TreeReader &tree) {
  try {
    return RecordedPosition(device, handle, tree).value_or(0);
  } catch (const KSXmsg &) {
    throw;
  } catch (...) {
    throw KSXmsg("An unknown error occurred in XLARX::LogBuffer::GetLogPosition. " +
                 describeLog(device, handle, tree));
  }
}

void LogBuffer::Append(uint32_t device, uint32_t handle, const TreeReader &tree, double time,
                       const PICType &value) {
  guarded("Append", "", [&] {
    const LogKey key = makeLogKey(device, handle);
    FoundRecorder found = findRecorder(key, &tree);
    if (!found)
      throw KSXmsg("Unknown log register: " + describeLog(device, handle, tree));
    found.recorder->append(time, value);
    positions_.setPosition(key, found.recorder->position());
    found.lock.unlock();
    MarkChanged(key);
  });
}

void LogBuffer::Clear(uint32_t device, uint32_t handle, const TreeReader &tree) {
  guarded("Clear", "", [&] {
    const LogKey key = makeLogKey(device, handle);
    FoundRecorder found = findRecorder(key, &tree);
    if (!found)
      return;
    found.recorder->clear();
    found.lock.unlock();
    MarkChanged(key);
  });
}

void LogBuffer::CleanupRecorder(uint32_t device, uint32_t handle) {
  guarded("CleanupRecorder", "", [&] {
    const LogKey key = makeLogKey(device, handle);
    IRefPtr<BufRecorder> recorder;
    {
      std::lock_guard table(tableLock_);
      const auto entry = recorders_.find(key);
      if (entry == recorders_.end())
        return;
      recorder = entry->second;
      recorders_.erase(entry);
    }
    // Records not yet saved are saved now rather than lost with the recorder.
    std::lock_guard saving(saveLock_);
    FoundRecorder found;
    found.lock = std::unique_lock(recorder->lock());
    found.recorder = std::move(recorder);
    saveRecorder(found);
  });
}

void LogBuffer::MarkChanged(LogKey key) {
  bool added = false;
  {
    std::lock_guard lock(changedLock_);
    added = changed_.insert(key).second;
  }
  // A key already in the set was signalled when it went in, and the save
  // that takes it has not run yet.
  if (added) {
    ensureSaveThread();
    saveThread_.signal();
  }
}

void LogBuffer::saveChanged() {
  std::lock_guard saving(saveLock_);
  std::vector<LogKey> keys;
  {
    std::lock_guard lock(changedLock_);
    keys.assign(changed_.begin(), changed_.end());
    changed_.clear();
  }
  std::vector<LogKey> unsaved;
  for (const LogKey key : keys) {
    try {
      FoundRecorder found = findRecorder(key, nullptr);
      if (found && !saveRecorder(found))
        unsaved.push_back(key);
    } catch (const std::exception &failure) {
      logBufferTrace()(logKeyText(key), failure.what());
      unsaved.push_back(key);
    }
  }
  if (!unsaved.empty()) {
    std::lock_guard lock(changedLock_);
    changed_.insert(unsaved.begin(), unsaved.end());
  }
  positions_.writePositionFile();
}

bool LogBuffer::saveRecorder(FoundRecorder &found) {
  const bool saved = found.recorder->saveIfChanged();
  found.lock.unlock();
  if (!saved)
    return false;
  if (found.recorder->flushSaved())
    return true;
  std::lock_guard lock(found.recorder->lock());
  found.recorder->markAllChanged();
  return false;
}

void LogBuffer::shutdown() {
  saveThread_.stop();
  saveChanged();
}

size_t LogBuffer::recorderCount() const {
  std::lock_guard table(tableLock_);
  return recorders_.size();
}

size_t LogBuffer::bucketCount() const {
  std::lock_guard table(tableLock_);
  return recorders_.bucket_count();
}

} // namespace XLARX

namespace arxmod {

void shutdownLogBuffer() {
  std::lock_guard lock(XLARX::registryLock());
  if (XLARX::LogBuffer *buffer = XLARX::processBuffer())
    buffer->shutdown();
}

void releaseLogBuffer() noexcept {
  XLARX::LogBuffer *buffer = nullptr;
  {
    std::lock_guard lock(XLARX::registryLock());
    buffer = std::exchange(XLARX::processBuffer(), nullptr);
  }
  delete buffer; // its destructor shuts it down, outside the registry's lock
}

} // namespace arxmod
