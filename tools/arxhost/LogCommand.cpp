// log: the SystemLog rows the plug-in wrote, with their level words, and
// with --follow the rows that come after them until the user stops it.
#include "Commands.h"

#include "base/Clock.h"
#include "host/LogLevel.h"

#include <ostream>

namespace arxhost {
namespace {

// How often --follow looks for new rows.
constexpr uint32_t kFollowPollMs = 250;

void printEntry(const LogEntry &entry, std::ostream &out) {
  out << entry.time << " " << arxmod::levelWord(static_cast<unsigned>(entry.priority))
      << entry.origin;
  if (!entry.subOrigin.empty())
    out << " (" << entry.subOrigin << ")";
  if (entry.code != 0)
    out << " code " << entry.code;
  out << ": " << entry.text << "\n";
}

} // namespace

int logCommand(const std::filesystem::path &dbFile, const LogOptions &options, std::ostream &out,
               std::stop_token stop) {
  auto database = HostDatabase::open(dbFile);
  int64_t last = 0;
  const auto show = [&](const std::vector<LogEntry> &entries) {
    for (const LogEntry &entry : entries) {
      printEntry(entry, out);
      last = entry.id;
    }
    out.flush();
  };
  // Each deadline is taken before the rows are shown, so a clock that moves
  // once they are out always ends the wait.
  arxmod::Clock &clock = arxmod::currentClock();
  uint32_t next = clock.tickNow() + kFollowPollMs;
  show(database.logEntriesAfter(0, options.limit));
  if (!options.follow)
    return 0;
  while (clock.waitUntilTick(next, stop)) {
    next = clock.tickNow() + kFollowPollMs;
    show(database.logEntriesAfter(last));
  }
  return 0;
}

} // namespace arxhost
