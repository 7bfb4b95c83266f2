// SystemLog: the serialised write of one entry, its fallbacks and the
// notification program for critical entries.
#include "host/SystemLog.h"

#include "host/ConfigDatabase.h"
#include "host/Console.h"
#include "host/EventLog.h"
#include "host/Faults.h"
#include "host/LocalTime.h"
#include "host/LogLevel.h"

#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>

extern char **environ;

namespace arxmod {

SystemLog &SystemLog::instance() {
  // Never destroyed: threads living until process exit may still log.
  static auto *log = new SystemLog();
  return *log;
}

void SystemLog::forgetAttempts() {
  std::lock_guard lock(mutex_);
  attempted_ = false;
  succeeded_ = false;
}

void SystemLog::write(LogDestination destination, const SystemLogEntry &entry) noexcept {
  try {
    std::lock_guard lock(mutex_);
    if (destination != LogDestination::SystemLog)
      writeConsoleLine(entry.priority, entry.origin, entry.subOrigin, entry.text);
    if (destination != LogDestination::Console)
      appendRow(entry);
    if (entry.priority >= kPriorityCritical) {
      if (const char *command = std::getenv("KSL_SYSLOG_NOTIFY"))
        startNotifyProgram(command);
    }
  } catch (...) {
    // Logging never fails its caller.
  }
}

void SystemLog::appendRow(const SystemLogEntry &entry) {
  const bool firstAttempt = !attempted_;
  attempted_ = true;
  std::string reason;
  try {
    ConfigDatabase::instance().appendSystemLog(
        SystemLogRow{localTimeText(std::chrono::system_clock::now()).iso, entry.priority,
                     entry.hostName, entry.origin.empty() ? entry.hostName : entry.origin,
                     entry.subOrigin, entry.origin2, entry.code, entry.text});
    succeeded_ = true;
    return;
  } catch (const std::exception &failure) {
    reason = failure.what();
  } catch (...) {
  }
  if (reason.empty())
    reason = "Failed to write to the systemlog";
  reportFailure(entry, reason, firstAttempt || succeeded_);
}

void SystemLog::reportFailure(const SystemLogEntry &entry, const std::string &reason,
                              bool toEventLog) {
  if (toEventLog) {
    try {
      const std::string origin = entry.origin.empty() ? entry.hostName : entry.origin;
      std::string text = entry.priority >= kPriorityCritical ? "CRITICAL ERROR: " : "";
      text += origin + ": " + reason;
      KSEventLogWriter().report(eventTypeFor(entry.priority), text);
    } catch (...) {
      // The platform log was the last place to say it.
    }
  }
  writeConsoleLine(kPriorityMessage, entry.origin, entry.subOrigin,
                   SLMessage::cleanText("Unable to write to the System Log. Reason: " + reason));
}

void startNotifyProgram(const std::string &commandLine) noexcept {
  try {
    const char *arguments[] = {"sh", "-c", commandLine.c_str(), nullptr};
    pid_t child = 0;
    // The child inherits our descriptors, like the host's own programs.
    const int error = posix_spawn(&child, "/bin/sh", nullptr, nullptr,
                                  const_cast<char *const *>(arguments), environ);
    if (error != 0) {
      KSEventLogWriter().report(EventType::Error, "Unable to spawn '" + commandLine +
                                                      "'. Reason: " + errnoDescription(error));
      return;
    }
    // Not waited for by the writer; this thread only collects the exit
    // status so the finished program does not stay behind as a zombie.
    std::thread([child] {
      int status = 0;
      while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (...) {
    // A notification that cannot start must not break the log write.
  }
}

} // namespace arxmod
