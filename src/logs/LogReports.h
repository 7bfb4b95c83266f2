// LogReports: where the log buffer says what went wrong.
//
// Two diagnostic traces: "LOGBUF" for recorders and the save thread,
// "LOGPOS" for the position file. Both are switched on when first used,
// because they are the channel the buffer reports its file faults on; they
// reach a file only when ARXMOD_TRACE_FILE names one.
//
// Faults that cost a user data or explain why a log restarted (a file
// refused on restore, a save that failed for a full disk or a read-only
// directory) also go to the system log, with the file's path, so they are
// seen without tracing.
#pragma once

#include "host/DiagnosticTrace.h"

#include <filesystem>
#include <string>
#include <string_view>

namespace arxmod {

Diagnostic::Trace &logBufferTrace();
Diagnostic::Trace &logPositionTrace();

// Writes "<message> File: <path>" (and ". Reason: <reason>" when given) to
// the console and the system log, with the trace's name as sub-origin.
void reportLogFileFault(const Diagnostic::Trace &trace, std::string_view message,
                        const std::filesystem::path &file, std::string_view reason = {}) noexcept;

} // namespace arxmod
