// LogKey: its text form.
#include "logs/LogKey.h"

#include <cinttypes>
#include <cstdio>

namespace arxmod {

std::string logKeyText(LogKey key) {
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, key);
  return text;
}

} // namespace arxmod
