// Diagnostic::Trace: a named trace channel, off until switched on.
//
//   Diagnostic::Trace modbusTrace("TXMOD", ":");
//   modbusTrace.enable(true);
//   modbusTrace("TX", "01 03 00 00 00 02");   // line "TX:01 03 00 00 00 02"
//
// An enabled channel appends each line to the file named by the
// ARXMOD_TRACE_FILE environment variable, each line in one write so lines
// of concurrent threads do not interleave; with the variable unset a trace
// costs nothing beyond the look-up. A disabled channel does nothing.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

namespace arxmod::Diagnostic {

class Trace {
public:
  explicit Trace(std::string name, std::string separator = ": ");

  void enable(bool on) { enabled_.store(on, std::memory_order_relaxed); }
  bool enabled() const { return enabled_.load(std::memory_order_relaxed); }
  const std::string &name() const { return name_; }

  // Writes `leading`, the separator and `message`; or `message` alone when
  // `leading` is empty. A newline ends the line unless the message has one.
  void operator()(std::string_view leading, std::string_view message) const;

private:
  std::string name_;
  std::string separator_;
  std::atomic<bool> enabled_{false};
};

} // namespace arxmod::Diagnostic
