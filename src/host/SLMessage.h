// SLMessage: one system-log entry under construction, and the write that
// sends it to the console, the system log or both.
//
// Every subsystem reports through this class:
//
//   SLMessage::format(LogDestination::ConsoleAndSystemLog, "Reset of %s failed", name)
//       .write(kPriorityMessage, libraryName, 100, "Unknown", "");
//
// write() never throws: logging is the last resort of error paths, so a
// failure to reach the system log falls back to the platform log and the
// console, and a console failure is swallowed.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace arxmod {

enum class LogDestination : uint16_t { Console = 0, ConsoleAndSystemLog = 1, SystemLog = 2 };

class SLMessage {
public:
  // An entry for the console only.
  explicit SLMessage(std::string text);
  SLMessage(LogDestination destination, std::string text);

  // Builds the text printf-style. A format the C library cannot expand
  // (an invalid multibyte sequence) is kept verbatim rather than lost.
  static SLMessage format(LogDestination destination, const char *format, ...)
      __attribute__((format(printf, 2, 3)));

  const std::string &text() const { return text_; }
  LogDestination destination() const { return destination_; }

  // Writes the entry: a console line for destinations Console and
  // ConsoleAndSystemLog, a SystemLog row for ConsoleAndSystemLog and
  // SystemLog (origin = the default host name when `origin` is empty), and
  // at priority 255 or above the notification program. All writes of the
  // process are serialised.
  void write(unsigned priority, std::string_view origin, int32_t code, std::string_view subOrigin,
             std::string_view origin2) const noexcept;

  // The text as stored: every newline, vertical bar, tab, backspace and
  // carriage return becomes one blank, because the log's readers treat
  // those characters as record and field separators.
  static std::string cleanText(std::string_view text);

private:
  std::string text_;
  LogDestination destination_;
};

} // namespace arxmod
