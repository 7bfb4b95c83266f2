// demo: a walk through the host tool for a newcomer, with nothing set up
// beforehand. It makes a host database and a translator directory in a
// temporary folder, serves the simulated meter on a free loopback port in
// this process, and runs the commands a user would type, each with a few
// words on what it shows; then it removes the folder.
#include "Commands.h"

#include "SampleFiles.h"
#include "SimServer.h"
#include "base/Clock.h"

#include <cstdlib>
#include <fstream>
#include <functional>
#include <ostream>

namespace arxhost {
namespace {

// Seconds the demo lets pass to show energies counting up.
constexpr uint32_t kEnergyWaitMs = 3000;

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

void writeFile(const std::filesystem::path &file, std::string_view text) {
  std::ofstream out(file, std::ios::binary);
  out << text;
  if (!out)
    throw ToolError("cannot write " + file.string());
}

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

  const DemoOptions &options_;
  std::ostream &out_;
  std::filesystem::path db_;
  unsigned steps_ = 0;
  unsigned failures_ = 0;
};

int Demo::run() {
  TemporaryFolder folder;
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
         const int status = writeCommand(
             db_, WriteOptions{"meter1", "259", "800", false, options_.pluginFile}, out_);
         out_ << "\n$ arxhost read meter1 259 278\n";
         return readValues({"259", "278"}, false) | status;
       });

  step("A meter command",
       "Some handles stand for commands of the meter's command interface rather than for\n"
       "registers: writing one sends the command block and reads the meter's result.\n"
       "Here command 2008 with parameter 5, then the output assignment of the alarm.",
       "arxhost write meter1 0x09500101 5; arxhost write meter1 0x09900005 DO1", [&] {
         const int first = writeCommand(
             db_, WriteOptions{"meter1", "0x09500101", "5", false, options_.pluginFile}, out_);
         return writeCommand(
                    db_, WriteOptions{"meter1", "0x09900005", "DO1", false, options_.pluginFile},
                    out_) |
                first;
       });

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

} // namespace

int demoCommand(const DemoOptions &options, std::ostream &out) { return Demo(options, out).run(); }

} // namespace arxhost
