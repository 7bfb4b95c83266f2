// Local time text through localtime_r, which is thread-safe.
#include "host/LocalTime.h"

#include <cstdio>
#include <ctime>

namespace arxmod {

LocalTimeText localTimeText(std::chrono::system_clock::time_point when) {
  using namespace std::chrono;
  const auto sinceEpoch = when.time_since_epoch();
  const auto wholeSeconds = floor<seconds>(sinceEpoch);
  const auto milliseconds = duration_cast<std::chrono::milliseconds>(sinceEpoch - wholeSeconds);
  const std::time_t seconds = static_cast<std::time_t>(wholeSeconds.count());
  std::tm local{};
  localtime_r(&seconds, &local);

  char date[32];
  char time[32];
  std::snprintf(date, sizeof date, "%04d-%02d-%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday);
  std::snprintf(time, sizeof time, "%02d:%02d:%02d.%03d", local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(milliseconds.count()));
  return LocalTimeText{std::string(date) + "T" + time, time, date};
}

} // namespace arxmod
