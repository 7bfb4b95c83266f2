// The default host name: the origin of system-log entries that name none.
#pragma once

#include <optional>
#include <string>

namespace arxmod {

// The MachineName host setting, else gethostname(), cut at the first ".";
// "Unknown" when neither yields a name. Obtained once per process.
// A failure of the database while reading the setting is logged.
const std::string &defaultHostName();
// Forgets the name (at unload); the next use obtains it again.
void releaseDefaultHostName();

// The rule above for a given MachineName setting (tests use it directly,
// since the process-wide name is fixed after its first use).
std::string hostNameFrom(const std::optional<std::string> &machineName);

} // namespace arxmod
