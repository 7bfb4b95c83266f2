// LogFileIo: system calls behind the write seam, whole-file replacement,
// reads and keeping refused files aside.
#include "logs/LogFileIo.h"

#include <atomic>
#include <cerrno>
#include <cstddef>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <sys/stat.h>
#include <unistd.h>

namespace arxmod {
namespace {

// Never destroyed: the log buffer's last save can run from an exit handler,
// after the runtime destroyed function-local statics made later than that
// handler was registered. The seam holds nothing that needs destroying.
LogWriteSeam &systemSeam() {
  alignas(LogWriteSeam) static std::byte storage[sizeof(LogWriteSeam)];
  static LogWriteSeam *const seam = new (storage) LogWriteSeam;
  return *seam;
}

std::atomic<LogWriteSeam *> &installedSeam() {
  static std::atomic<LogWriteSeam *> seam{nullptr};
  return seam;
}

// Refused copies of one file are numbered from 1; past this many the last
// number is reused rather than searching without end.
constexpr int kMaxKeptAside = 1000;

} // namespace

int LogWriteSeam::openFile(const std::filesystem::path &path, int flags, int &fd) {
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, 0644);
  } while (fd < 0 && errno == EINTR);
  return fd < 0 ? errno : 0;
}

int LogWriteSeam::writeAt(int fd, std::span<const uint8_t> bytes, uint64_t offset) {
  while (!bytes.empty()) {
    const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
    if (written < 0) {
      if (errno == EINTR)
        continue;
      return errno;
    }
    if (written == 0)
      return EIO;
    bytes = bytes.subspan(static_cast<size_t>(written));
    offset += static_cast<uint64_t>(written);
  }
  return 0;
}

int LogWriteSeam::syncFile(int fd) { return ::fsync(fd) < 0 ? errno : 0; }

int LogWriteSeam::renameFile(const std::filesystem::path &from, const std::filesystem::path &to) {
  return ::rename(from.c_str(), to.c_str()) < 0 ? errno : 0;
}

LogWriteSeam &logWriteSeam() {
  LogWriteSeam *installed = installedSeam().load(std::memory_order_acquire);
  return installed ? *installed : systemSeam();
}

ScopedLogWriteSeam::ScopedLogWriteSeam(LogWriteSeam &seam)
    : previous_(installedSeam().exchange(&seam, std::memory_order_acq_rel)) {}

ScopedLogWriteSeam::~ScopedLogWriteSeam() {
  installedSeam().store(previous_, std::memory_order_release);
}

FileDescriptor &FileDescriptor::operator=(FileDescriptor &&other) noexcept {
  if (this != &other) {
    close();
    fd_ = other.release();
  }
  return *this;
}

int FileDescriptor::release() noexcept {
  const int fd = fd_;
  fd_ = -1;
  return fd;
}

int FileDescriptor::close() noexcept {
  if (fd_ < 0)
    return 0;
  const int result = ::close(fd_);
  fd_ = -1;
  return result < 0 && errno != EINTR ? errno : 0;
}

ReplacementFile::ReplacementFile(std::filesystem::path file)
    : file_(std::move(file)), temporary_(file_.string() + ".tmp") {}

ReplacementFile::~ReplacementFile() {
  if (!committed_) {
    fd_.close();
    ::unlink(temporary_.c_str());
  }
}

int ReplacementFile::open() {
  int fd = -1;
  if (const int error = logWriteSeam().openFile(temporary_, O_WRONLY | O_CREAT | O_TRUNC, fd))
    return error;
  fd_ = FileDescriptor(fd);
  return 0;
}

int ReplacementFile::writeAt(std::span<const uint8_t> bytes, uint64_t offset) {
  return logWriteSeam().writeAt(fd_.get(), bytes, offset);
}

int ReplacementFile::commit() {
  LogWriteSeam &seam = logWriteSeam();
  if (const int error = seam.syncFile(fd_.get()))
    return error;
  if (const int error = fd_.close())
    return error;
  if (const int error = seam.renameFile(temporary_, file_))
    return error;
  committed_ = true;
  // The rename is durable only once the directory is flushed; a failure
  // here leaves a complete file either way, so it is not reported.
  int directory = -1;
  if (seam.openFile(file_.parent_path(), O_RDONLY | O_DIRECTORY, directory) == 0) {
    FileDescriptor held(directory);
    seam.syncFile(held.get());
  }
  return 0;
}

WriteResult replaceFile(const std::filesystem::path &file,
                        std::initializer_list<std::span<const uint8_t>> parts) {
  ReplacementFile replacement(file);
  if (const int error = replacement.open())
    return {WriteStep::Open, error};
  uint64_t offset = 0;
  for (const auto part : parts) {
    if (const int error = replacement.writeAt(part, offset))
      return {WriteStep::Write, error};
    offset += part.size();
  }
  if (const int error = replacement.commit())
    return {WriteStep::Write, error};
  return {};
}

int openForUpdate(const std::filesystem::path &file, FileDescriptor &out) {
  int fd = -1;
  if (const int error = logWriteSeam().openFile(file, O_RDWR, fd))
    return error;
  out = FileDescriptor(fd);
  return 0;
}

int ReadOnlyFile::open(const std::filesystem::path &path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0)
    return errno;
  fd_ = FileDescriptor(fd);
  return 0;
}

std::optional<uint64_t> ReadOnlyFile::size() const {
  struct stat status {};
  if (!fd_ || ::fstat(fd_.get(), &status) < 0 || !S_ISREG(status.st_mode))
    return std::nullopt;
  return static_cast<uint64_t>(status.st_size);
}

bool ReadOnlyFile::readAt(uint64_t offset, std::span<uint8_t> out) const {
  while (!out.empty()) {
    const ssize_t got = ::pread(fd_.get(), out.data(), out.size(), static_cast<off_t>(offset));
    if (got < 0 && errno == EINTR)
      continue;
    if (got <= 0)
      return false;
    out = out.subspan(static_cast<size_t>(got));
    offset += static_cast<uint64_t>(got);
  }
  return true;
}

std::optional<std::filesystem::path> keepAside(const std::filesystem::path &file, int &error) {
  std::filesystem::path target;
  for (int number = 1; number <= kMaxKeptAside; ++number) {
    target = file;
    target += ".refused-" + std::to_string(number);
    std::error_code ignored;
    if (!std::filesystem::exists(target, ignored))
      break;
  }
  error = logWriteSeam().renameFile(file, target);
  if (error)
    return std::nullopt;
  return target;
}

int ensureDirectory(const std::filesystem::path &directory) {
  std::error_code error;
  std::filesystem::create_directories(directory, error);
  return error ? error.value() : 0;
}

std::string errorText(int error) {
  char buffer[256];
  // The GNU strerror_r returns the text, which may not be in `buffer`.
  return ::strerror_r(error, buffer, sizeof buffer);
}

} // namespace arxmod
