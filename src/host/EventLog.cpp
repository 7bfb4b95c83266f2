// KSEventLogWriter over syslog(3), with a replaceable destination for tests.
#include "host/EventLog.h"

#include "base/ProcessSingleton.h"
#include "host/LogLevel.h"

#include <memory>
#include <mutex>
#include <string>
#include <syslog.h>

namespace arxmod {

namespace {

std::mutex sinkMutex;
// Made by the first setEventLogSink; without it reports go to syslog.
constinit ProcessSingleton<std::shared_ptr<const EventLogSink>> sinkSlot;

std::shared_ptr<const EventLogSink> currentSink() {
  std::lock_guard lock(sinkMutex);
  const auto *slot = sinkSlot.existing();
  return slot ? *slot : nullptr;
}

} // namespace

EventType eventTypeFor(unsigned priority) {
  return priority < kPriorityError ? EventType::Warning : EventType::Error;
}

KSEventLogWriter::KSEventLogWriter() { openlog("arxmod", LOG_PID, LOG_USER); }

KSEventLogWriter::~KSEventLogWriter() { closelog(); }

void KSEventLogWriter::report(EventType type, std::string_view text) {
  if (auto sink = currentSink()) {
    (*sink)(type, text);
    return;
  }
  const int level = type == EventType::Warning ? LOG_WARNING : LOG_ERR;
  const std::string line(text);
  syslog(level, "%s", line.c_str());
}

void setEventLogSink(EventLogSink sink) {
  auto replacement = sink ? std::make_shared<const EventLogSink>(std::move(sink)) : nullptr;
  std::lock_guard lock(sinkMutex);
  sinkSlot.get() = std::move(replacement);
}

void releaseEventLogSink() {
  std::lock_guard lock(sinkMutex);
  sinkSlot.release();
}

} // namespace arxmod
