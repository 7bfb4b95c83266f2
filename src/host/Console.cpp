// The console buffer, its sinks and the console line.
#include "host/Console.h"

#include "base/ProcessSingleton.h"
#include "host/ConfigDatabase.h"
#include "host/Faults.h"
#include "host/LocalTime.h"
#include "host/LogLevel.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace arxmod {

namespace {

void writeAll(int fd, std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(fd, text.data(), text.size());
    if (written < 0 && errno == EINTR)
      continue;
    if (written <= 0)
      return;
    text.remove_prefix(static_cast<size_t>(written));
  }
}

// An open file owned by the sinks that write to it; closed when the last
// copy of the sink (including one in the middle of a send) is gone.
struct OwnedFile {
  explicit OwnedFile(int descriptor) : fd(descriptor) {}
  ~OwnedFile() { ::close(fd); }
  OwnedFile(const OwnedFile &) = delete;
  OwnedFile &operator=(const OwnedFile &) = delete;
  int fd;
};

ConsoleSink standardErrorSink() {
  return [](std::string_view text) { writeAll(STDERR_FILENO, text); };
}

struct ConsoleState {
  // Makes std::cerr and std::clog exist before they are redirected. In a
  // host that has not used the C++ streams (a C program, an interpreter)
  // this library's initialisers run before any stream initialiser of its
  // own translation units, and a stream touched then is not yet
  // constructed; constructing it later would also undo the redirection.
  // Kept for the console's lifetime, so the streams stay usable until the
  // console is released.
  std::ios_base::Init streams;
  COMStreamBuf buffer{standardErrorSink()};
  std::mutex installMutex;
  bool installed = false;
  std::streambuf *previousCerr = nullptr;
  std::streambuf *previousClog = nullptr;
};

constinit ProcessSingleton<ConsoleState> console;

ConsoleState &state() { return console.get(); }

// Puts back a stream's own buffer, unless someone redirected it since.
void restore(std::ostream &stream, std::streambuf *ours, std::streambuf *previous) {
  if (stream.rdbuf() == ours)
    stream.rdbuf(previous);
}

} // namespace

COMStreamBuf::COMStreamBuf(ConsoleSink sink)
    : sink_(std::make_shared<const ConsoleSink>(std::move(sink))) {}

void COMStreamBuf::setSink(ConsoleSink sink) {
  auto replacement = std::make_shared<const ConsoleSink>(std::move(sink));
  std::lock_guard lock(mutex_);
  sink_ = std::move(replacement);
}

void COMStreamBuf::send(const std::shared_ptr<const ConsoleSink> &sink,
                        std::string_view piece) noexcept {
  try {
    if (sink && *sink)
      (*sink)(piece);
  } catch (...) {
    // A console that cannot take text must not break the writer.
  }
}

COMStreamBuf::int_type COMStreamBuf::overflow(int_type ch) {
  if (traits_type::eq_int_type(ch, traits_type::eof()))
    return traits_type::not_eof(ch);
  const char c = traits_type::to_char_type(ch);
  xsputn(&c, 1);
  return ch;
}

std::streamsize COMStreamBuf::xsputn(const char_type *text, std::streamsize count) {
  if (count <= 0)
    return 0;
  const auto total = static_cast<size_t>(count);
  size_t done = 0;
  while (done < total) {
    std::string piece;
    std::shared_ptr<const ConsoleSink> sink;
    {
      std::lock_guard lock(mutex_);
      if (count_ == kCapacity) {
        piece.assign(buffer_.data(), count_);
        count_ = 0;
        sink = sink_;
      }
      const size_t take = std::min(kCapacity - count_, total - done);
      std::memcpy(buffer_.data() + count_, text + done, take);
      count_ += take;
      done += take;
    }
    if (!piece.empty())
      send(sink, piece);
  }
  return count;
}

int COMStreamBuf::sync() {
  std::string piece;
  std::shared_ptr<const ConsoleSink> sink;
  {
    std::lock_guard lock(mutex_);
    piece.assign(buffer_.data(), count_);
    count_ = 0;
    sink = sink_;
  }
  if (!piece.empty())
    send(sink, piece);
  return 0;
}

COMStreamBuf &consoleBuffer() { return state().buffer; }

void installConsole() {
  ConsoleState &shared = state();
  std::string openFailure;
  std::optional<std::string> file;
  {
    std::lock_guard lock(shared.installMutex);
    if (shared.installed)
      return;
    file = ConfigDatabase::instance().hostSetting("ConsoleFile");
    ConsoleSink sink = standardErrorSink();
    if (file && !file->empty()) {
      const int fd = ::open(file->c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
      if (fd >= 0) {
        auto owned = std::make_shared<OwnedFile>(fd);
        sink = [owned](std::string_view text) { writeAll(owned->fd, text); };
      } else {
        openFailure = errnoDescription(errno);
      }
    }
    shared.buffer.setSink(std::move(sink));
    shared.previousCerr = std::cerr.rdbuf(&shared.buffer);
    shared.previousClog = std::clog.rdbuf(&shared.buffer);
    shared.installed = true;
  }
  if (!openFailure.empty())
    writeConsoleLine(kPriorityMessage, "arxmod", "Console",
                     "Unable to open console file '" + *file + "'. Reason: " + openFailure);
}

void uninstallConsole() {
  ConsoleState *installed = console.existing();
  if (!installed)
    return;
  std::lock_guard lock(installed->installMutex);
  if (!installed->installed)
    return;
  restore(std::cerr, &installed->buffer, installed->previousCerr);
  restore(std::clog, &installed->buffer, installed->previousClog);
  installed->buffer.pubsync();
  installed->buffer.setSink(standardErrorSink());
  installed->installed = false;
}

void releaseConsole() {
  uninstallConsole();
  console.release();
}

void writeConsoleLine(unsigned priority, std::string_view origin, std::string_view subOrigin,
                      std::string_view text) {
  const LocalTimeText now = localTimeText(std::chrono::system_clock::now());
  std::string line;
  line.reserve(text.size() + origin.size() + subOrigin.size() + 48);
  line.append("[").append(levelWord(priority));
  for (std::string_view part :
       {origin, subOrigin, std::string_view(now.time), std::string_view(now.date), text})
    line.append(" ").append(part);
  line.append("]\n");
  COMStreamBuf &buffer = consoleBuffer();
  buffer.pubsync();
  buffer.sputn(line.data(), static_cast<std::streamsize>(line.size()));
  buffer.pubsync();
}

} // namespace arxmod
