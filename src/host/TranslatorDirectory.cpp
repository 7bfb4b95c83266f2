// Translator directories from the host settings, and fileChanged.
#include "host/TranslatorDirectory.h"

#include "base/KSXmsg.h"
#include "base/ProcessSingleton.h"
#include "base/TickCount.h"
#include "host/ConfigDatabase.h"

#include <array>
#include <mutex>
#include <optional>
#include <sys/stat.h>

namespace arxmod {
namespace {

std::mutex directoryLock;
using KeptDirectories = std::array<std::optional<std::string>, 2>; // [0] shipped, [1] override
constinit ProcessSingleton<KeptDirectories> keptDirectories;

std::optional<timespec> lastWriteTime(const std::string &path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return std::nullopt;
  return info.st_mtim;
}

bool sameTime(const timespec &a, const timespec &b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

} // namespace

std::string translatorDirectory(bool override) {
  std::lock_guard guard(directoryLock);
  std::optional<std::string> &kept = keptDirectories.get()[override ? 1 : 0];
  if (!kept) {
    std::string directory =
        ConfigDatabase::instance()
            .hostSetting(override ? "TranslatorOverrideDirectory" : "TranslatorDirectory")
            .value_or("");
    if (directory.empty())
      throw KSXmsg("Invalid translator directory");
    if (directory.size() > 1 && (directory.back() == '/' || directory.back() == '\\'))
      directory.pop_back();
    kept = std::move(directory);
  }
  return *kept;
}

void forgetTranslatorDirectories() {
  std::lock_guard guard(directoryLock);
  keptDirectories.release();
}

bool fileChanged(FileWatch &watch, const std::string &name, bool force) {
  const uint32_t now = tickCount();
  if (watch.checked && (!watch.directory.empty() || force) &&
      ticksElapsed(watch.lastCheck, now) <= ConfigDatabase::kRefreshPeriodMs)
    return false;
  watch.lastCheck = now;
  watch.checked = true;

  for (bool override : {true, false}) {
    const std::string directory = translatorDirectory(override);
    if (auto time = lastWriteTime(directory + "/" + name)) {
      if (directory != watch.directory || !sameTime(*time, watch.lastWrite)) {
        watch.directory = directory;
        watch.lastWrite = *time;
        return true;
      }
      return false;
    }
  }
  const bool wasFound = !watch.directory.empty();
  watch.directory.clear();
  watch.lastWrite = {};
  return wasFound;
}

} // namespace arxmod
