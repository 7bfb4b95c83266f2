// Local wall-clock time with milliseconds, in the forms the logs use.
#pragma once

#include <chrono>
#include <string>

namespace arxmod {

struct LocalTimeText {
  std::string iso;  // "2024-05-17T13:45:07.123": SystemLog.Time
  std::string time; // "13:45:07.123": console lines
  std::string date; // "2024-05-17": console lines
};

LocalTimeText localTimeText(std::chrono::system_clock::time_point when);

} // namespace arxmod
