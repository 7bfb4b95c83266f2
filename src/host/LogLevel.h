// Priorities of log entries and the level words written in front of
// console lines.
//
// A priority is an unsigned number; the level word is a coarse reading of
// it for operators. The bands are inclusive at their lower edge: 6 is the
// first INFO priority, 26 the first WARNING, 128 the first ERROR and 255
// the first CRITICAL one.
#pragma once

#include <string_view>

namespace arxmod {

// Priority of a caught KSXmsg and of a failure to reach the system log.
inline constexpr unsigned kPriorityMessage = 191;
// Priority of unexpected exceptions; entries at or above it start the
// notification program named by KSL_SYSLOG_NOTIFY.
inline constexpr unsigned kPriorityCritical = 255;
// First priority that the platform event log records as an error rather
// than a warning.
inline constexpr unsigned kPriorityError = 128;

// The 10-character, blank-padded level word for a priority:
// "DIAG:     ", "INFO:     ", "WARNING:  ", "ERROR:    " or "CRITICAL: ".
std::string_view levelWord(unsigned priority);

} // namespace arxmod
