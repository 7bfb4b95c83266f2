// KSEventLogWriter: the platform log of last resort, used when the system
// log itself cannot be written.
//
// On Linux it is syslog(3) with the identity "arxmod". A writer opens the
// log when constructed and closes it when destroyed, so the identity is in
// force only while a report is being made and the host process's own
// syslog identity is restored afterwards.
//
// Tests replace the destination with setEventLogSink() to see what would
// have gone to syslog.
#pragma once

#include <functional>
#include <string_view>

namespace arxmod {

enum class EventType { Warning, Error };

// The event type for an entry of a priority: warning below 128, else error.
EventType eventTypeFor(unsigned priority);

class KSEventLogWriter {
public:
  KSEventLogWriter();
  ~KSEventLogWriter();
  KSEventLogWriter(const KSEventLogWriter &) = delete;
  KSEventLogWriter &operator=(const KSEventLogWriter &) = delete;

  void report(EventType type, std::string_view text);
};

using EventLogSink = std::function<void(EventType, std::string_view)>;
// Sends every later report to `sink` instead of syslog; an empty sink
// restores syslog.
void setEventLogSink(EventLogSink sink);
// Forgets the replaced destination and frees its slot (at unload).
void releaseEventLogSink();

} // namespace arxmod
