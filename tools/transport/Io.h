// Io: file descriptors and the bounded waits every transport and the TCP
// server use, so that nothing a peer does (or fails to do) can hold a
// thread past its deadline.
//
// Deadlines are tick counts of currentClock(); waits poll in short slices
// and read the clock between them, so a test that steps a ManualClock ends a
// wait as a real timeout would. A wake descriptor (the read end of a pipe
// written once on stop) ends every wait that lists it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>

namespace arxhost::transport {

// Owns one file descriptor and closes it.
class FileDescriptor {
public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor &&other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor &operator=(FileDescriptor &&other) noexcept;
  FileDescriptor(const FileDescriptor &) = delete;
  FileDescriptor &operator=(const FileDescriptor &) = delete;
  ~FileDescriptor() { reset(); }

  int get() const noexcept { return fd_; }
  bool valid() const noexcept { return fd_ >= 0; }
  void reset(int fd = -1) noexcept;

private:
  int fd_ = -1;
};

// A tick deadline `milliseconds` from now on currentClock().
uint32_t deadlineIn(uint32_t milliseconds);

enum class IoStatus {
  Done,     // every byte moved
  TimedOut, // the deadline passed first
  Closed,   // the peer closed the connection (reads only)
  Failed,   // the system call failed; errno is kept in IoResult::error
  Woken,    // the wake descriptor became readable
};

struct IoResult {
  IoStatus status = IoStatus::Done;
  size_t count = 0; // bytes moved before the call ended
  int error = 0;    // errno for Failed
};

// Waits until `fd` is ready for `events` (POLLIN, POLLOUT). No deadline waits
// without limit. Done when ready; TimedOut, Woken or Failed otherwise.
IoResult waitReady(int fd, short events, std::optional<uint32_t> deadline, int wakeFd = -1);

// Reads exactly out.size() bytes from a non-blocking descriptor.
IoResult readExact(int fd, std::span<uint8_t> out, std::optional<uint32_t> deadline,
                   int wakeFd = -1);
// Writes every byte to a non-blocking descriptor (sockets without SIGPIPE).
IoResult writeAll(int fd, std::span<const uint8_t> bytes, std::optional<uint32_t> deadline,
                  int wakeFd = -1);

// "Connection reset by peer" for an errno value.
std::string errorText(int error);

// A pipe whose read end wakes waiters once wake() has been called.
class WakePipe {
public:
  WakePipe();
  int readEnd() const noexcept { return read_.get(); }
  void wake() noexcept;

private:
  FileDescriptor read_;
  FileDescriptor write_;
};

} // namespace arxhost::transport
