// poll: reads every mapped handle of a device once a round, as a table
// redrawn in place on a terminal, or as JSON Lines with the time of each
// round.
#include "Commands.h"

#include "DeviceFiles.h"
#include "HandleValues.h"
#include "TextTable.h"
#include "base/Clock.h"

#include <cmath>
#include <cstdio>
#include <ostream>

namespace arxhost {
namespace {

// Longest round period: a day.
constexpr double kMaxEverySeconds = 86400.0;
// Erases the rest of the line; moves the cursor up N lines.
constexpr const char *kEraseLine = "\x1b[K";
constexpr const char *kEraseBelow = "\x1b[J";

// The table of the last values of each handle, drawn over itself.
class PollTable {
public:
  PollTable(std::vector<uint32_t> handles, std::vector<std::string> labels,
            std::vector<std::string> units)
      : handles_(std::move(handles)), labels_(std::move(labels)), units_(std::move(units)),
        shown_(handles_.size(), "-"), lastGood_(handles_.size()) {}

  void update(const std::vector<HandleResult> &results, uint32_t tick) {
    failures_ = 0;
    firstFailure_.clear();
    for (size_t i = 0; i < results.size(); ++i) {
      if (!results[i].error) {
        shown_[i] = results[i].shown;
        lastGood_[i] = tick;
      } else if (failures_++ == 0) {
        firstFailure_ = std::to_string(handles_[i]) + " (" + labels_[i] + "): " + results[i].shown;
      }
    }
  }

  void draw(std::ostream &out, const std::string &title, uint32_t tick) {
    if (drawnLines_ > 0)
      out << "\x1b[" << drawnLines_ << "A";
    TextTable table({"HANDLE", "LABEL", "VALUE", "UNITS", "AGE"});
    for (size_t i = 0; i < handles_.size(); ++i)
      table.add({std::to_string(handles_[i]), labels_[i], shown_[i], units_[i], age(i, tick)});
    out << title << kEraseLine << "\n";
    table.print(out, std::string(kEraseLine) + "\n");
    out << (failures_ ? std::to_string(failures_) + " of " + std::to_string(handles_.size()) +
                            " reads failed; first " + firstFailure_
                      : std::string("every read succeeded"))
        << kEraseLine << "\n"
        << kEraseBelow << std::flush;
    drawnLines_ = handles_.size() + 3;
  }

private:
  std::string age(size_t i, uint32_t tick) const {
    if (!lastGood_[i])
      return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", (tick - *lastGood_[i]) / 1000.0);
    return text;
  }

  std::vector<uint32_t> handles_;
  std::vector<std::string> labels_;
  std::vector<std::string> units_;
  std::vector<std::string> shown_;
  std::vector<std::optional<uint32_t>> lastGood_;
  size_t failures_ = 0;
  std::string firstFailure_;
  size_t drawnLines_ = 0;
};

} // namespace

int pollCommand(const std::filesystem::path &dbFile, const PollOptions &options, std::ostream &out,
                std::stop_token stop) {
  if (!(options.everySeconds >= 0.001 && options.everySeconds <= kMaxEverySeconds))
    throw ToolError("--every " + std::to_string(options.everySeconds) +
                    " is not a period: give seconds from 0.001 to 86400");
  const auto period = static_cast<uint32_t>(std::lround(options.everySeconds * 1000.0));
  DeviceSession session(dbFile, options.device, options.pluginFile, MeterNeed::Required);
  const DeviceFiles files = DeviceFiles::load(session.database(), session.device());
  const std::vector<uint32_t> handles = files.readableHandles();
  if (handles.empty())
    throw ToolError("device '" + options.device +
                    "' has no readable mapped handle: its map binds none of its tree's objects "
                    "to a register with RequestType R or RW");
  std::vector<std::string> units;
  for (const uint32_t handle : handles)
    units.push_back(files.units(handle));
  const auto labels =
      readLabels(session, handles, [&files](uint32_t handle) { return files.name(handle); });
  const bool table = options.terminal && !options.json;
  PollTable shown(handles, labels, units);

  arxmod::Clock &clock = arxmod::currentClock();
  uint32_t next = clock.tickNow();
  bool anyFailed = false;
  for (uint64_t round = 1;; ++round) {
    const std::vector<HandleResult> values =
        invokeEach(session, handles, 21, table ? ValueForm::Text : ValueForm::Json);
    const uint32_t tick = clock.tickNow();
    for (const HandleResult &value : values)
      anyFailed = anyFailed || value.error;
    if (table) {
      shown.update(values, tick);
      shown.draw(out,
                 options.device + " (" + session.connection() + "), round " +
                     std::to_string(round) + ", every " + std::to_string(period) +
                     " ms; Ctrl-C stops",
                 tick);
    } else {
      const std::string time = isoTime(clock.wallNow());
      for (size_t i = 0; i < handles.size(); ++i)
        out << resultJson(handles[i], labels[i], values[i], time) << "\n";
      out.flush();
    }
    if (options.count != 0 && round >= options.count)
      break;
    next += period;
    // A round that took longer than the period starts the next one at once.
    if (arxmod::tickReached(clock.tickNow(), next))
      next = clock.tickNow();
    if (!clock.waitUntilTick(next, stop))
      break;
  }
  return anyFailed ? 1 : 0;
}

} // namespace arxhost
