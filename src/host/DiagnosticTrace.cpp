// Diagnostic::Trace: lines appended to $ARXMOD_TRACE_FILE.
#include "host/DiagnosticTrace.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>

namespace arxmod::Diagnostic {

Trace::Trace(std::string name, std::string separator)
    : name_(std::move(name)), separator_(std::move(separator)) {}

void Trace::operator()(std::string_view leading, std::string_view message) const {
  if (!enabled())
    return;
  const char *file = std::getenv("ARXMOD_TRACE_FILE");
  if (!file || !*file)
    return;
  std::string line;
  if (!leading.empty())
    line.append(leading).append(separator_);
  line.append(message);
  if (line.empty() || line.back() != '\n')
    line.push_back('\n');
  // O_APPEND makes each single write land whole at the end of the file.
  const int fd = ::open(file, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0)
    return;
  ssize_t written;
  do {
    written = ::write(fd, line.data(), line.size());
  } while (written < 0 && errno == EINTR);
  ::close(fd);
}

} // namespace arxmod::Diagnostic
