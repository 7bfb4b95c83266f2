// LogReports: the two traces and the system-log report.
#include "logs/LogReports.h"

#include "host/LibraryName.h"
#include "host/LogLevel.h"
#include "host/SLMessage.h"

namespace arxmod {
namespace {

constexpr int32_t kLogFileFaultCode = 100;

Diagnostic::Trace &enabledTrace(Diagnostic::Trace &trace) {
  trace.enable(true);
  return trace;
}

} // namespace

Diagnostic::Trace &logBufferTrace() {
  static Diagnostic::Trace trace("LOGBUF");
  static Diagnostic::Trace &enabled = enabledTrace(trace);
  return enabled;
}

Diagnostic::Trace &logPositionTrace() {
  static Diagnostic::Trace trace("LOGPOS");
  static Diagnostic::Trace &enabled = enabledTrace(trace);
  return enabled;
}

void reportLogFileFault(const Diagnostic::Trace &trace, std::string_view message,
                        const std::filesystem::path &file, std::string_view reason) noexcept {
  try {
    std::string text(message);
    text.append(" File: ").append(file.string());
    if (!reason.empty())
      text.append(". Reason: ").append(reason);
    SLMessage(LogDestination::ConsoleAndSystemLog, std::move(text))
        .write(kPriorityMessage, libraryName(), kLogFileFaultCode, trace.name(), "");
  } catch (...) {
    // Out of memory while building the text: the trace line remains.
  }
}

} // namespace arxmod
