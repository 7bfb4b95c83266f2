// FileChangeWatch: whether anything in one directory was written, created,
// removed or renamed since the last look, through inotify.
//
// A session asks the host database for its newest system-log row before
// every Process call, so that a failed call can show the rows it added.
// Asking SQLite costs a read transaction each time; asking this watch
// whether the database's files changed since the last answer costs one read
// of a non-blocking descriptor. A watch that cannot be set up, or that lost
// events, says "changed", so its caller asks the database as before.
#pragma once

#include <filesystem>

namespace arxhost {

class FileChangeWatch {
public:
  explicit FileChangeWatch(const std::filesystem::path &directory);
  ~FileChangeWatch();
  FileChangeWatch(const FileChangeWatch &) = delete;
  FileChangeWatch &operator=(const FileChangeWatch &) = delete;

  // True on the first look, and whenever something in the directory changed
  // since the previous look (or the watch cannot tell).
  bool changedSinceLastLook();

private:
  int fd_ = -1;
  bool looked_ = false;
};

} // namespace arxhost
