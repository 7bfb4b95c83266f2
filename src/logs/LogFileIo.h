// LogFileIo: the file operations of the log buffer and its recorders.
//
// Writes go through LogWriteSeam, so that a test can make them fail the way
// a full disk or a read-only directory does (ENOSPC, EROFS) without
// privileges:
//
//   class FullDisk : public LogWriteSeam {
//     int writeAt(int, std::span<const uint8_t>, uint64_t) override { return ENOSPC; }
//   } full;
//   ScopedLogWriteSeam use(full);
//
// Files that are replaced whole (the position file, the XML caches, a new
// data log) are written by replaceFile: a temporary file in the same
// directory is written, flushed to disk and renamed over the old one, and
// the directory is flushed, so a crash at any moment leaves the old or the
// new file, never a torn one. Every operation returns 0 or an errno value.
#pragma once

#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <optional>
#include <span>
#include <string>

namespace arxmod {

class LogWriteSeam {
public:
  virtual ~LogWriteSeam() = default;
  // open(2) with `flags` (mode 0644 when a file is created); `fd` on success.
  virtual int openFile(const std::filesystem::path &path, int flags, int &fd);
  // Writes all of `bytes` at `offset`.
  virtual int writeAt(int fd, std::span<const uint8_t> bytes, uint64_t offset);
  virtual int syncFile(int fd);
  virtual int renameFile(const std::filesystem::path &from, const std::filesystem::path &to);
};

// The seam in use: the plain system calls unless a test installed another.
LogWriteSeam &logWriteSeam();

class ScopedLogWriteSeam {
public:
  explicit ScopedLogWriteSeam(LogWriteSeam &seam);
  ~ScopedLogWriteSeam();
  ScopedLogWriteSeam(const ScopedLogWriteSeam &) = delete;
  ScopedLogWriteSeam &operator=(const ScopedLogWriteSeam &) = delete;

private:
  LogWriteSeam *previous_;
};

// An open file descriptor, closed with the object.
class FileDescriptor {
public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  FileDescriptor(FileDescriptor &&other) noexcept : fd_(other.release()) {}
  FileDescriptor &operator=(FileDescriptor &&other) noexcept;
  FileDescriptor(const FileDescriptor &) = delete;
  FileDescriptor &operator=(const FileDescriptor &) = delete;
  ~FileDescriptor() { close(); }

  int get() const noexcept { return fd_; }
  explicit operator bool() const noexcept { return fd_ >= 0; }
  int release() noexcept;
  // Closes the descriptor; 0 or the errno value of close(2).
  int close() noexcept;

private:
  int fd_ = -1;
};

// Which step of a write failed.
enum class WriteStep { None, Open, Write };

struct WriteResult {
  WriteStep step = WriteStep::None;
  int error = 0;
  explicit operator bool() const noexcept { return step == WriteStep::None; }
};

// A whole new version of a file, written beside it as "<file>.tmp" and put
// in its place by commit(). Dropped without commit, the temporary file is
// removed and the old file stays as it was.
class ReplacementFile {
public:
  explicit ReplacementFile(std::filesystem::path file);
  ~ReplacementFile();
  ReplacementFile(const ReplacementFile &) = delete;
  ReplacementFile &operator=(const ReplacementFile &) = delete;

  // Each returns 0 or an errno value.
  int open();
  int writeAt(std::span<const uint8_t> bytes, uint64_t offset);
  // Flushes the new file to disk, renames it over the old one and flushes
  // the directory.
  int commit();

private:
  std::filesystem::path file_;
  std::filesystem::path temporary_;
  FileDescriptor fd_;
  bool committed_ = false;
};

// Replaces `file` with the concatenation of `parts` through a
// ReplacementFile. On failure the old file is unchanged.
WriteResult replaceFile(const std::filesystem::path &file,
                        std::initializer_list<std::span<const uint8_t>> parts);

// Opens `file` for update in place (no create); 0 or the errno value.
int openForUpdate(const std::filesystem::path &file, FileDescriptor &out);

// A file opened for reading, with its size learnt once.
class ReadOnlyFile {
public:
  // 0 or the errno value of open(2) (ENOENT: the file does not exist).
  int open(const std::filesystem::path &path);
  // The file's size; nullopt when fstat fails.
  std::optional<uint64_t> size() const;
  // Reads exactly `out.size()` bytes at `offset`; false on a short read.
  bool readAt(uint64_t offset, std::span<uint8_t> out) const;

private:
  FileDescriptor fd_;
};

// Moves a file that could not be restored out of the way under the first
// free name "<file>.refused-N", so that a new file can take its place while
// the old content stays for inspection. The new name, or nullopt (with
// `error` set) when the rename failed.
std::optional<std::filesystem::path> keepAside(const std::filesystem::path &file, int &error);

// Creates `directory` and its parents when missing; 0 or an errno value.
int ensureDirectory(const std::filesystem::path &directory);

// The system's text for an errno value ("No space left on device").
std::string errorText(int error);

} // namespace arxmod
