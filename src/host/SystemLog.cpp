// SystemLog: the serialised write of one entry, its fallbacks and the
// notification program for critical entries.
#include "host/SystemLog.h"

#include "base/ProcessSingleton.h"
#include "host/ConfigDatabase.h"
#include "host/Console.h"
#include "host/EventLog.h"
#include "host/Faults.h"
#include "host/HostName.h"
#include "host/LocalTime.h"
#include "host/LogLevel.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>

extern char **environ;

namespace arxmod {

namespace {
constinit ProcessSingleton<SystemLog> systemLog;
}

SystemLog &SystemLog::instance() {
  return systemLog.get([] { return new SystemLog(); });
}

void releaseSystemLog() {
  systemLog.release();
  releaseDefaultHostName();
  releaseEventLogSink();
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
    // The shell starts the command in the background and ends at once; we
    // wait only for that shell. The command, orphaned, is collected by
    // the system, so no thread of ours outlives the call waiting for it
    // (one would be left running code of an unloaded library). The command
    // line travels as $1, never pasted into the script.
    const char *arguments[] = {"sh",   "-c", "/bin/sh -c \"$1\" &", "sh", commandLine.c_str(),
                               nullptr};
    pid_t child = 0;
    // The command inherits our descriptors, like the host's own programs
    // (standard input aside, which a background command reads from
    // /dev/null).
    const int error = posix_spawn(&child, "/bin/sh", nullptr, nullptr,
                                  const_cast<char *const *>(arguments), environ);
    if (error != 0) {
      KSEventLogWriter().report(EventType::Error, "Unable to spawn '" + commandLine +
                                                      "'. Reason: " + errnoDescription(error));
      return;
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  } catch (...) {
    // A notification that cannot start must not break the log write.
  }
}

} // namespace arxmod
