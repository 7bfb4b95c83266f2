// SLMessage: text building and cleaning; the write itself is SystemLog's.
#include "host/SLMessage.h"

#include "host/HostName.h"
#include "host/SystemLog.h"

#include <cstdarg>
#include <cstdio>

namespace arxmod {

SLMessage::SLMessage(std::string text)
    : text_(std::move(text)), destination_(LogDestination::Console) {}

SLMessage::SLMessage(LogDestination destination, std::string text)
    : text_(std::move(text)), destination_(destination) {}

SLMessage SLMessage::format(LogDestination destination, const char *format, ...) {
  va_list arguments;
  va_start(arguments, format);
  va_list measuring;
  va_copy(measuring, arguments);
  const int length = std::vsnprintf(nullptr, 0, format, measuring);
  va_end(measuring);
  std::string text;
  if (length < 0) {
    text = format;
  } else {
    text.resize(static_cast<size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, arguments);
    text.resize(static_cast<size_t>(length));
  }
  va_end(arguments);
  return SLMessage(destination, std::move(text));
}

std::string SLMessage::cleanText(std::string_view text) {
  std::string cleaned(text);
  for (char &c : cleaned) {
    if (c == '\n' || c == '|' || c == '\t' || c == '\b' || c == '\r')
      c = ' ';
  }
  return cleaned;
}

void SLMessage::write(unsigned priority, std::string_view origin, int32_t code,
                      std::string_view subOrigin, std::string_view origin2) const noexcept {
  try {
    // The host name is fetched before the log lock is taken: fetching it
    // may read the configuration database for the first time.
    SystemLogEntry entry{
        priority, std::string(origin), std::string(subOrigin), std::string(origin2),
        code,     cleanText(text_),    defaultHostName()};
    SystemLog::instance().write(destination_, entry);
  } catch (...) {
    // Out of memory while copying the entry: nothing sensible is left to do.
  }
}

} // namespace arxmod
