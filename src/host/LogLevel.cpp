// Level words of the console line, one band per word.
#include "host/LogLevel.h"

namespace arxmod {

std::string_view levelWord(unsigned priority) {
  if (priority <= 5)
    return "DIAG:     ";
  if (priority <= 25)
    return "INFO:     ";
  if (priority < kPriorityError)
    return "WARNING:  ";
  if (priority < kPriorityCritical)
    return "ERROR:    ";
  return "CRITICAL: ";
}

} // namespace arxmod
