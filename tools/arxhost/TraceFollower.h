// TraceFollower: the lines appended to a trace file, as `tail -f` shows
// them. The file may not exist yet, may be emptied (truncated) or replaced
// by a new file of the same name; the follower starts over at the start of
// the new contents. A line is handed out only once it is complete.
//
//   TraceFollower trace("/tmp/arxmod.trace");
//   for (const std::string &line : trace.lastLines(10)) ...
//   for (;;) for (const std::string &line : trace.newLines()) ...
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <sys/types.h>
#include <vector>

namespace arxhost {

class TraceFollower {
public:
  explicit TraceFollower(std::filesystem::path file);
  ~TraceFollower();
  TraceFollower(const TraceFollower &) = delete;
  TraceFollower &operator=(const TraceFollower &) = delete;

  // The last `count` complete lines the file holds now; what follows them
  // comes from newLines().
  std::vector<std::string> lastLines(size_t count);
  // The complete lines appended since the last call.
  std::vector<std::string> newLines();

private:
  // Opens the file again when it was replaced, starts over when it shrank;
  // false while there is no file.
  bool reopenIfChanged();

  std::filesystem::path file_;
  int fd_ = -1;
  ino_t inode_ = 0;
  off_t offset_ = 0;
  std::string partial_; // an incomplete last line
};

} // namespace arxhost
