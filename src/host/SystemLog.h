// SystemLog: the process-wide writer behind SLMessage::write.
//
// One mutex serialises every entry of the process, console lines included,
// so that an entry's console line, its SystemLog row and its notification
// leave together. Lock order: this lock is taken before the configuration
// database's lock (the row is appended through ConfigDatabase), and the
// database never logs while it holds its own lock, so the two cannot
// deadlock.
//
// When the row cannot be written, the failure goes to the platform log
// (syslog) under the first-attempt rule:
//
//   state                               failure reported to syslog?
//   no attempt yet                      yes (the first attempt)
//   attempted, never succeeded          no  (a missing log stays quiet)
//   succeeded at least once             yes (a log that worked broke)
//
// and then, whatever the rule says, as the console line "Unable to write to
// the System Log. Reason: ..." at priority 191.
#pragma once

#include "host/SLMessage.h"

#include <mutex>
#include <string>

namespace arxmod {

// An entry ready to be written: text already cleaned, host name known.
struct SystemLogEntry {
  unsigned priority;
  std::string origin;
  std::string subOrigin;
  std::string origin2;
  int32_t code;
  std::string text;
  std::string hostName;
};

class SystemLog {
public:
  static SystemLog &instance();

  SystemLog(const SystemLog &) = delete;
  SystemLog &operator=(const SystemLog &) = delete;

  void write(LogDestination destination, const SystemLogEntry &entry) noexcept;

  // Returns to the "no attempt yet" state of the first-attempt rule
  // (tests that start from a fresh process state use it).
  void forgetAttempts();

private:
  SystemLog() = default;

  void appendRow(const SystemLogEntry &entry);
  void reportFailure(const SystemLogEntry &entry, const std::string &reason, bool toEventLog);

  std::mutex mutex_;
  bool attempted_ = false; // a row write has been tried
  bool succeeded_ = false; // a row write has succeeded at least once
};

// Destroys the process's writer with the default host name and the
// event-log destination (at unload, once nothing logs any more); the next
// entry makes them anew.
void releaseSystemLog();

// Starts `commandLine` through /bin/sh -c without waiting for it: a shell
// starts it in the background and ends at once, so the command is never
// our child and leaves no zombie process and no thread behind. A failure
// to start goes to the platform log.
void startNotifyProgram(const std::string &commandLine) noexcept;

} // namespace arxmod
