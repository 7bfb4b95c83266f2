// The inotify descriptor behind FileChangeWatch, drained at each look.
#include "FileChangeWatch.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace arxhost {
namespace {

// Everything that can change what a file in the directory holds.
constexpr uint32_t kChanges = IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO |
                              IN_CLOSE_WRITE | IN_DELETE_SELF | IN_MOVE_SELF;

} // namespace

FileChangeWatch::FileChangeWatch(const std::filesystem::path &directory)
    : fd_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
  if (fd_ >= 0 && inotify_add_watch(fd_, directory.c_str(), kChanges) < 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

FileChangeWatch::~FileChangeWatch() {
  if (fd_ >= 0)
    ::close(fd_);
}

bool FileChangeWatch::changedSinceLastLook() {
  if (fd_ < 0)
    return true;
  bool changed = !looked_;
  looked_ = true;
  alignas(inotify_event) char events[4096];
  for (;;) {
    const ssize_t got = ::read(fd_, events, sizeof events);
    if (got > 0) {
      changed = true;
      // The directory itself went away or the queue overflowed: from now on
      // the watch cannot tell.
      for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
        inotify_event event{};
        std::memcpy(&event, events + at, sizeof event);
        if (event.mask & (IN_IGNORED | IN_Q_OVERFLOW | IN_DELETE_SELF | IN_MOVE_SELF)) {
          ::close(fd_);
          fd_ = -1;
          return true;
        }
        at += static_cast<ssize_t>(sizeof(inotify_event) + event.len);
      }
      continue;
    }
    if (got < 0 && errno == EINTR)
      continue;
    if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
      return changed;
    ::close(fd_); // an error the watch cannot recover from
    fd_ = -1;
    return true;
  }
}

} // namespace arxhost
