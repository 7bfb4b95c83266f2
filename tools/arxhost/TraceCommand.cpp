// trace: follows the diagnostic trace file (ARXMOD_TRACE_FILE) that the
// plug-in appends its trace lines to, until the user stops it.
#include "Commands.h"

#include "TraceFollower.h"
#include "base/Clock.h"

#include <cstdlib>
#include <ostream>

namespace arxhost {
namespace {

constexpr uint32_t kFollowPollMs = 200;

} // namespace

int traceCommand(const TraceOptions &options, std::ostream &out, std::stop_token stop) {
  std::filesystem::path file = options.file;
  if (file.empty()) {
    const char *fromEnvironment = std::getenv("ARXMOD_TRACE_FILE");
    if (!fromEnvironment || !*fromEnvironment)
      throw ToolError("no trace file: set ARXMOD_TRACE_FILE (for this command and for the one "
                      "that runs the plug-in) or give --file FILE");
    file = fromEnvironment;
  }
  TraceFollower trace(file);
  if (!std::filesystem::exists(file))
    out << "(waiting for " << file.string() << " to appear)\n";
  const auto show = [&out](const std::vector<std::string> &lines) {
    for (const std::string &line : lines)
      out << line << "\n";
    out.flush();
  };
  // Each deadline is taken before the lines are shown, so a clock that
  // moves once they are out always ends the wait.
  arxmod::Clock &clock = arxmod::currentClock();
  uint32_t next = clock.tickNow() + kFollowPollMs;
  show(trace.lastLines(options.lines));
  while (clock.waitUntilTick(next, stop)) {
    next = clock.tickNow() + kFollowPollMs;
    show(trace.newLines());
  }
  return 0;
}

} // namespace arxhost
