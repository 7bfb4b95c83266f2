// demo: a walk through the host tool for a newcomer, with nothing set up
// beforehand. It makes a host database and a translator directory in a
// temporary folder, serves the simulated meter on a free loopback port in
// this process, and runs the commands a user would type, each with a few
// words on what it shows; then it removes the folder.
#include "Commands.h"

#include "DeviceSession.h"
#include "HandleValues.h"
#include "SampleFiles.h"
#include "SimServer.h"
#include "base/Clock.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <ostream>

namespace arxhost {
namespace {

// Seconds the demo lets pass to show energies counting up.
constexpr uint32_t kEnergyWaitMs = 3000;
// Longest wait for the plug-in's calculation thread, which runs once a
// second: ample on a loaded machine.
constexpr uint32_t kCalculationWaitMs = 8000;
// How often a wait looks again.
constexpr uint32_t kLookAgainMs = 100;

// Handles of the sample tree's modules (examples/mx4110_4120/tree.xml).
constexpr uint32_t kTimerTrigger = 1409;   // Per 1 Trigger: counts once a second
constexpr uint32_t kDataLog = 1537;        // DR 1 Data Log
constexpr uint32_t kRecordComplete = 1540; // DR 1 Record Complete
// LogReg_read_position: the number of a log's next record.
constexpr uint32_t kReadPosition = 40;
// Records the log step shows.
constexpr uint32_t kShownRecords = 3;

// A temporary folder, removed with everything in it when done.
class TemporaryFolder {
public:
  TemporaryFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "arxhost-demo-XXXXXX").string();
    if (!mkdtemp(pattern.data()))
      throw ToolError("cannot make a temporary folder in " +
                      std::filesystem::temp_directory_path().string());
    path_ = pattern;
  }
  ~TemporaryFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  TemporaryFolder(const TemporaryFolder &) = delete;
  TemporaryFolder &operator=(const TemporaryFolder &) = delete;
  const std::filesystem::path &path() const { return path_; }

private:
  std::filesystem::path path_;
};

// Folders to remove once more when the process exits. The plug-in stays
// loaded until then, and at exit it saves the logs its data recorders
// filled, which makes a removed data folder again; an exit function
// registered before the plug-in's first call runs after its own.
std::mutex exitRemovalsLock;
std::vector<std::filesystem::path> exitRemovals;

void removeFoldersAgain() {
  std::lock_guard lock(exitRemovalsLock);
  for (const std::filesystem::path &folder : exitRemovals) {
    std::error_code ignored;
    std::filesystem::remove_all(folder, ignored);
  }
}

void removeAgainAtExit(const std::filesystem::path &folder) {
  static const bool registered = std::atexit(removeFoldersAgain) == 0;
  if (!registered)
    return;
  std::lock_guard lock(exitRemovalsLock);
  exitRemovals.push_back(folder);
}

void writeFile(const std::filesystem::path &file, std::string_view text) {
  std::ofstream out(file, std::ios::binary);
  out << text;
  if (!out)
    throw ToolError("cannot write " + file.string());
}

// The demo's own reads of the meter, which it waits on and prints nowhere.
class QuietReads {
public:
  QuietReads(const std::filesystem::path &db, const std::filesystem::path &pluginFile)
      : session_(db, "meter1", pluginFile, MeterNeed::Required) {}

  int64_t deviceId() const { return session_.device().id; }

  // The value of `handle` (or what `method` answers) as a number; none for
  // a failed read or a value that is no number.
  std::optional<double> number(uint32_t handle, uint32_t method = 21) {
    const HandleResult result = invokeEach(session_, {handle}, method, ValueForm::Json).front();
    if (result.error)
      return std::nullopt;
    char *end = nullptr;
    const double value = std::strtod(result.shown.c_str(), &end);
    return end != result.shown.c_str() && *end == 0 ? std::optional(value) : std::nullopt;
  }

  // Reads `handle` until `ready` holds for its number; ToolError saying
  // what it waited for after kCalculationWaitMs.
  void waitUntil(uint32_t handle, const std::function<bool(double)> &ready,
                 const std::string &what) {
    arxmod::Clock &clock = arxmod::currentClock();
    const uint32_t deadline = clock.tickNow() + kCalculationWaitMs;
    for (;;) {
      const std::optional<double> value = number(handle);
      if (value && ready(*value))
        return;
      if (arxmod::tickReached(clock.tickNow(), deadline))
        throw ToolError("waited " + std::to_string(kCalculationWaitMs / 1000) + " s for " + what +
                        " (handle " + std::to_string(handle) + ") in vain");
      clock.waitUntilTick(clock.tickNow() + kLookAgainMs, std::stop_token());
    }
  }

  // Waits for two more runs of the calculation thread: the second starts
  // after this call, so its modules see every value read before it.
  void waitForTwoPasses() {
    const double runs = number(kTimerTrigger).value_or(0);
    waitUntil(
        kTimerTrigger, [runs](double now) { return now >= runs + 2; },
        "two runs of the calculation thread");
  }

private:
  DeviceSession session_;
};

class Demo {
public:
  Demo(const DemoOptions &options, std::ostream &out) : options_(options), out_(out) {}

  int run();

private:
  // A numbered step: a title, what it shows, the command line a user would
  // type, and the command itself. A failing step says why and the demo
  // goes on.
  void step(const std::string &title, const std::string &explanation,
            const std::string &commandLine, const std::function<int()> &command) {
    out_ << "\n== " << ++steps_ << ". " << title << "\n"
         << explanation << "\n\n$ " << commandLine << "\n";
    try {
      const int status = command();
      if (status != 0)
        out_ << "(exit status " << status << ")\n";
    } catch (const std::exception &e) {
      out_ << "arxhost: " << e.what() << "\n";
      ++failures_;
    }
    out_.flush();
  }

  int readValues(const std::vector<std::string> &handles, bool json) {
    ReadOptions read{"meter1", handles, json, options_.pluginFile};
    return readCommand(db_, read, out_);
  }
  // Prints the command line of a further command of a step, then runs it.
  int readValuesShown(const std::vector<std::string> &handles) {
    out_ << "\n$ arxhost read meter1";
    for (const std::string &handle : handles)
      out_ << " " << handle;
    out_ << "\n";
    return readValues(handles, false);
  }
  int writeValue(const std::string &handle, const std::string &value) {
    return writeCommand(db_, WriteOptions{"meter1", handle, value, false, options_.pluginFile},
                        out_);
  }
  int runProgram(const std::string &program) {
    return runCommand(db_, RunOptions{"meter1", program, options_.pluginFile, false}, out_);
  }

  // The module steps; 1 when one failed.
  int moduleSteps();
  void logSteps(const std::filesystem::path &dataFolder);

  const DemoOptions &options_;
  std::ostream &out_;
  std::filesystem::path db_;
  unsigned steps_ = 0;
  unsigned failures_ = 0;
};

int Demo::run() {
  TemporaryFolder folder;
  removeAgainAtExit(folder.path());
  db_ = folder.path() / "host.db";
  out_ << "arxhost demo: the MX4110_4120 translator plug-in (" << options_.pluginFile.string()
       << ")\ndriven as a power-monitoring host drives it, against a simulated meter.\n"
       << "Everything lives in " << folder.path().string()
       << " and is removed at the end;\nthe commands below run with --db " << db_.string() << ".\n";

  step("A host database",
       "The host keeps its devices, ports and settings in a SQLite database; the plug-in\n"
       "reads it, and writes its failures to the SystemLog table.",
       "arxhost init", [&] { return initCommand(db_, out_); });

  step("The device files",
       "A meter is described by two files in the translator directory: its object tree\n"
       "(tree.xml: modules and registers, each named by a handle) and its map (map.xml:\n"
       "the Modbus register, format and scaling of every handle).",
       "cp examples/mx4110_4120/tree.xml examples/mx4110_4120/map.xml translators/", [&] {
         writeFile(folder.path() / "translators" / "tree.xml", kSampleTree);
         writeFile(folder.path() / "translators" / "map.xml", kSampleMap);
         out_ << "copied tree.xml and map.xml into " << (folder.path() / "translators").string()
              << "\n";
         return 0;
       });

  std::unique_ptr<SimServer> sim;
  step("A meter to talk to",
       "The simulated meter serves the sample map's registers over Modbus TCP, with live\n"
       "values: voltages and currents with noise, powers that agree with them, energies\n"
       "that count up, a power factor that swings between lagging and leading.",
       "arxhost sim --listen 127.0.0.1:0 &", [&] {
         sim = std::make_unique<SimServer>(SimOptions{"127.0.0.1:0", 1, {}});
         out_ << "listening on " << sim->address() << "\n";
         return 0;
       });
  if (!sim) {
    out_ << "\nThe demo needs the simulated meter; it stops here.\n";
    return 1;
  }

  const std::string connection = "tcp://" + sim->address();
  step("Register the meter",
       "A device names its port (how to reach it: Modbus TCP or RTU), its unit and its\n"
       "files. A real meter is registered the same way, e.g. --connection\n"
       "tcp://192.168.1.20:502 or 'rtu:///dev/ttyUSB0?baud=19200&parity=E&stop=1'.",
       "arxhost device add meter1 --connection " + connection +
           " --unit 1 --tree tree.xml --map map.xml",
       [&] {
         NewDevice meter;
         meter.name = "meter1";
         meter.port = "Line1";
         meter.connection = connection;
         meter.treeFile = "tree.xml";
         meter.mapFile = "map.xml";
         return deviceAddCommand(db_, meter, out_);
       });

  step("What a full read sends",
       "The plug-in packs the registers it needs into as few Modbus messages as the map\n"
       "allows. plan shows each message and why it ends where it does.",
       "arxhost plan meter1", [&] {
         return planCommand(db_, PlanOptions{"meter1", false}, out_);
       });

  const std::vector<std::string> instantaneous{"272", "273", "274", "278", "285",
                                               "286", "287", "288", "289"};
  step("Read values",
       "Each read goes through the plug-in's Process entry point, which asks the meter\n"
       "over Modbus TCP and answers with the scaled value and the register's label.",
       "arxhost read meter1 272 273 274 278 285 286 287 288 289",
       [&] { return readValues(instantaneous, false); });

  step("The same as JSON", "--json writes one object per handle and line, for scripts.",
       "arxhost read meter1 285 290 --json", [&] {
         return readValues({"285", "290"}, true);
       });

  step("Lead or lag",
       "The meter also holds the power factor in a form of its own, 0 to 1 while the load\n"
       "lags and 1 to 2 while it leads; the plug-in answers that handle with the word.",
       "arxhost read meter1 288 0x0B200006", [&] {
         return readValues({"288", "0x0B200006"}, false);
       });

  step("Energies count up",
       "Three seconds later the energies have grown by the powers times the time.",
       "arxhost read meter1 290 292 293; sleep 3; arxhost read meter1 290 292 293", [&] {
         const std::vector<std::string> energies{"290", "292", "293"};
         const int before = readValues(energies, false);
         arxmod::Clock &clock = arxmod::currentClock();
         clock.waitUntilTick(clock.tickNow() + kEnergyWaitMs, std::stop_token());
         return readValues(energies, false) | before;
       });

  step("A mistake",
       "A failed read says why: here the tree has no object 999 (code 9). The exit status\n"
       "is 1 unless every handle was read.",
       "arxhost read meter1 289 999 --json", [&] {
         return readValues({"289", "999"}, true);
       });

  step("Write a setup",
       "Setups are written through the plug-in too. The CT primary scales the currents:\n"
       "after the write the meter's raw current register changes, the amperes do not.",
       "arxhost write meter1 259 800", [&] {
         const int status = writeValue("259", "800");
         return readValuesShown({"259", "278"}) | status;
       });

  step("A meter command",
       "Some handles stand for commands of the meter's command interface rather than for\n"
       "registers: writing one sends the command block and reads the meter's result.\n"
       "Here command 2008 with parameter 5, then the output assignment of the alarm.",
       "arxhost write meter1 0x09500101 5; arxhost write meter1 0x09900005 DO1", [&] {
         const int first = writeValue("0x09500101", "5");
         return writeValue("0x09900005", "DO1") | first;
       });

  if (moduleSteps() == 0)
    logSteps(folder.path() / "data");

  step("The system log",
       "What went wrong on the way is in the SystemLog table, with its level words.",
       "arxhost log --limit 5", [&] {
         if (HostDatabase::open(db_).lastLogId() == 0)
           out_ << "(no rows: nothing has gone wrong so far)\n";
         return logCommand(db_, LogOptions{false, 5}, out_, std::stop_token());
       });

  out_ << "\nThat was the tour" << (failures_ ? " (some steps failed, see above)" : "")
       << ". Against a real meter:\n"
       << "  arxhost init\n"
       << "  cp examples/mx4110_4120/*.xml translators/\n"
       << "  arxhost device add meter1 --connection tcp://METER:502 --unit 1 --tree tree.xml "
          "--map map.xml\n"
       << "  arxhost poll meter1\n"
       << "'arxhost --help' lists every command. Removing " << folder.path().string() << ".\n";
  return failures_ == 0 ? 0 : 1;
}

int Demo::moduleSteps() {
  const unsigned failuresBefore = failures_;
  const std::vector<std::string> sources{"272", "273", "274", "278", "285"};
  step("Modules the meter lacks",
       "The meter has no minimum, maximum or averaging modules; the plug-in runs them on\n"
       "the PC (the map lists them as CalcInfo) in a calculation thread, once a second,\n"
       "over the values that reads bring into its cache. Min 1 (1024) and Max 1 (1152)\n"
       "follow the phase voltages, Avg 1 (1280) the total power and phase A's current.\n"
       "A host keeps the plug-in loaded, and so does this demo: its modules run between\n"
       "the commands here, while each arxhost command of a shell loads it afresh.",
       "arxhost read meter1 272 273 274 278 285", [&] {
         QuietReads quiet(db_, options_.pluginFile);
         int status = readValues(sources, false);
         quiet.waitForTwoPasses();
         out_ << "\nTwo runs of the calculation thread later, the meter's values have moved:\n";
         status |= readValuesShown(sources);
         quiet.waitForTwoPasses();
         out_ << "\nThe lowest and highest phase voltages seen, and the averages:\n";
         return readValuesShown({"1025", "1026", "1027", "1153", "1154", "1155", "1281", "1282"}) |
                status;
       });

  step("An input from outside",
       "An External Numeric module (Ext 1, 1664) holds a number that a client writes, for\n"
       "other modules to use; the plug-in keeps it, the meter never sees it.",
       "arxhost write meter1 1665 42.5", [&] {
         const int status = writeValue("1665", "42.5");
         return readValuesShown({"1665"}) | status;
       });
  return failures_ == failuresBefore ? 0 : 1;
}

void Demo::logSteps(const std::filesystem::path &dataFolder) {
  int64_t deviceId = 0;
  std::optional<double> position;
  step("A log the plug-in keeps",
       "The data recorder DR 1 (1536) takes a record of Vln a, I a, kW tot and PF sign tot\n"
       "at every trigger of the one-second timer Per 1 (1408), into its Data Log (1537).\n"
       "Log State, Records Left and Record Complete (1538-1540) tell how it goes.",
       "arxhost read meter1 1538 1539 1540", [&] {
         QuietReads quiet(db_, options_.pluginFile);
         deviceId = quiet.deviceId();
         quiet.waitUntil(
             kRecordComplete, [](double taken) { return taken >= kShownRecords; },
             std::to_string(kShownRecords) + " records of DR 1");
         position = quiet.number(kDataLog, kReadPosition);
         return readValues({"1538", "1539", "1540"}, false);
       });
  if (!position || *position < kShownRecords)
    return;
  const auto next = static_cast<uint64_t>(*position);

  // Programs name their handles in hexadecimal.
  char dataLog[16];
  std::snprintf(dataLog, sizeof dataLog, "0x%x", kDataLog);
  const std::string program = dataLog + std::string(" LogReg_read_position\n") + dataLog +
                              " Register_read_value RangeType { " +
                              std::to_string(next - kShownRecords) + "u " +
                              std::to_string(next - 1) + "u }";
  step("Reading the log",
       "A log register answers its position (the number of its next record) and, for a\n"
       "range of record numbers, those records: number, time (seconds since 1970) and\n"
       "values. Records taken before a value was first read hold \"not available\".\n"
       "A program names its handles in hexadecimal: 0x601 is the Data Log, 1537.",
       "arxhost run meter1 \"" + program + "\"", [&] { return runProgram(program); });

  const std::filesystem::path logs = dataFolder / "translators" / "logs";
  char name[32];
  std::snprintf(name, sizeof name, "%016llx.arx",
                static_cast<unsigned long long>(static_cast<uint64_t>(deviceId) << 32 | kDataLog));
  step("Where the log lies",
       "The plug-in keeps its logs in the translators/logs folder of the DataDirectory\n"
       "setting, a file per log named by device and handle, and the position of every\n"
       "log in log_position.dat, so that they survive a restart. It saves a log ten\n"
       "seconds after it changed, and when the host unloads it.",
       "ls " + logs.string(), [&] {
         std::error_code error;
         for (const auto &entry : std::filesystem::directory_iterator(logs, error))
           out_ << entry.path().filename().string() << "\n";
         const bool saved = std::filesystem::exists(logs / name, error);
         out_ << "DR 1's Data Log " << (saved ? "is " : "goes to ") << name
              << (saved ? ""
                        : " (not saved yet: that happens ten seconds after its first "
                          "record, later than this demo lasts)")
              << "\n";
         return 0;
       });
}

} // namespace

int demoCommand(const DemoOptions &options, std::ostream &out) { return Demo(options, out).run(); }

} // namespace arxhost
