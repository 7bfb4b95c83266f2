// TraceFollower over POSIX file descriptors.
#include "TraceFollower.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace arxhost {
namespace {

// Read in pieces of this size; a follower never holds more than one piece
// beyond an incomplete line.
constexpr size_t kChunk = 65536;
// An incomplete line longer than this is handed out as it stands, so a
// writer that never ends its line cannot make the follower grow without end.
constexpr size_t kLongestLine = 1 << 20;

} // namespace

TraceFollower::TraceFollower(std::filesystem::path file) : file_(std::move(file)) {}

TraceFollower::~TraceFollower() {
  if (fd_ >= 0)
    ::close(fd_);
}

bool TraceFollower::reopenIfChanged() {
  struct stat byName {};
  if (::stat(file_.c_str(), &byName) != 0) {
    if (fd_ >= 0)
      ::close(fd_);
    fd_ = -1;
    return false;
  }
  if (fd_ < 0 || byName.st_ino != inode_) {
    if (fd_ >= 0)
      ::close(fd_);
    fd_ = ::open(file_.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd_ < 0)
      return false;
    inode_ = byName.st_ino;
    offset_ = 0;
    partial_.clear();
  } else if (byName.st_size < offset_) {
    offset_ = 0;
    partial_.clear();
  }
  return true;
}

std::vector<std::string> TraceFollower::newLines() {
  std::vector<std::string> lines;
  if (!reopenIfChanged())
    return lines;
  char buffer[kChunk];
  for (;;) {
    const ssize_t got = ::pread(fd_, buffer, sizeof buffer, offset_);
    if (got <= 0)
      break;
    offset_ += got;
    for (ssize_t i = 0; i < got; ++i) {
      if (buffer[i] == '\n' || partial_.size() >= kLongestLine) {
        lines.push_back(std::move(partial_));
        partial_.clear();
        if (buffer[i] == '\n')
          continue;
      }
      partial_ += buffer[i];
    }
  }
  return lines;
}

std::vector<std::string> TraceFollower::lastLines(size_t count) {
  std::vector<std::string> lines = newLines();
  if (lines.size() > count)
    lines.erase(lines.begin(), lines.end() - static_cast<ptrdiff_t>(count));
  return lines;
}

} // namespace arxhost
