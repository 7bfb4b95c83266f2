// Bounded waits, reads and writes on non-blocking descriptors.
#include "transport/Io.h"

#include "base/Clock.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace arxhost::transport {
namespace {

// Longest single poll: how late a wait notices a deadline that a stepped
// ManualClock has moved past.
constexpr uint32_t kSliceMs = 20;

} // namespace

FileDescriptor &FileDescriptor::operator=(FileDescriptor &&other) noexcept {
  if (this != &other)
    reset(std::exchange(other.fd_, -1));
  return *this;
}

void FileDescriptor::reset(int fd) noexcept {
  if (fd_ >= 0)
    ::close(fd_);
  fd_ = fd;
}

uint32_t deadlineIn(uint32_t milliseconds) {
  return arxmod::currentClock().tickNow() + milliseconds;
}

IoResult waitReady(int fd, short events, std::optional<uint32_t> deadline, int wakeFd) {
  pollfd fds[2] = {{fd, events, 0}, {wakeFd, POLLIN, 0}};
  const nfds_t count = wakeFd >= 0 ? 2 : 1;
  for (;;) {
    int timeout = -1;
    if (deadline) {
      const uint32_t now = arxmod::currentClock().tickNow();
      if (arxmod::tickReached(now, *deadline))
        return {IoStatus::TimedOut};
      timeout = static_cast<int>(std::min(*deadline - now, kSliceMs));
    }
    const int ready = ::poll(fds, count, timeout);
    if (ready < 0) {
      if (errno == EINTR)
        continue;
      return {IoStatus::Failed, 0, errno};
    }
    if (count == 2 && (fds[1].revents & POLLIN))
      return {IoStatus::Woken};
    // A hang-up or error is "ready": the read or write that follows reports it.
    if (fds[0].revents)
      return {IoStatus::Done};
  }
}

IoResult readExact(int fd, std::span<uint8_t> out, std::optional<uint32_t> deadline, int wakeFd) {
  size_t done = 0;
  while (done < out.size()) {
    const ssize_t got = ::read(fd, out.data() + done, out.size() - done);
    if (got > 0) {
      done += static_cast<size_t>(got);
      continue;
    }
    if (got == 0)
      return {IoStatus::Closed, done};
    if (errno == EINTR)
      continue;
    if (errno != EAGAIN && errno != EWOULDBLOCK)
      return {IoStatus::Failed, done, errno};
    IoResult waited = waitReady(fd, POLLIN, deadline, wakeFd);
    if (waited.status != IoStatus::Done) {
      waited.count = done;
      return waited;
    }
  }
  return {IoStatus::Done, done};
}

IoResult writeAll(int fd, std::span<const uint8_t> bytes, std::optional<uint32_t> deadline,
                  int wakeFd) {
  // Sockets are written with send, so that a closed peer gives EPIPE rather
  // than SIGPIPE; a descriptor that is no socket (a serial line) refuses
  // send with ENOTSOCK and is written with write from then on. Trying send
  // first spares every exchange a system call that asks what the
  // descriptor is.
  bool socket = true;
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t sent = socket ? ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL)
                                : ::write(fd, bytes.data() + done, bytes.size() - done);
    if (sent >= 0) {
      done += static_cast<size_t>(sent);
      continue;
    }
    if (errno == EINTR)
      continue;
    if (socket && errno == ENOTSOCK) {
      socket = false;
      continue;
    }
    if (errno != EAGAIN && errno != EWOULDBLOCK)
      return {IoStatus::Failed, done, errno};
    IoResult waited = waitReady(fd, POLLOUT, deadline, wakeFd);
    if (waited.status != IoStatus::Done) {
      waited.count = done;
      return waited;
    }
  }
  return {IoStatus::Done, done};
}

std::string errorText(int error) {
  char buffer[256];
  return strerror_r(error, buffer, sizeof buffer);
}

WakePipe::WakePipe() {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
    throw std::runtime_error("cannot create a pipe: " + errorText(errno));
  read_.reset(fds[0]);
  write_.reset(fds[1]);
}

void WakePipe::wake() noexcept {
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(write_.get(), &byte, 1);
}

} // namespace arxhost::transport
