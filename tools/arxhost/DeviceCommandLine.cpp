// The command line of the commands that talk to a device through the
// plug-in: ping, run, read, write, poll and plan.
#include "CommandLine.h"
#include "Commands.h"
#include "PluginLibrary.h"
#include "StopSignals.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <memory>
#include <unistd.h>

namespace arxhost {
namespace {

void addPing(CLI::App &app, CommandLine &line) {
  struct Options {
    std::string device;
    std::string pluginFile;
  };
  auto options = std::make_shared<Options>();
  auto *ping = app.add_subcommand("ping", "send a channel message to a device through the plug-in");
  ping->add_option("device", options->device, "device name")->required();
  addPluginOption(*ping, options->pluginFile);
  ping->callback([&line, options] {
    line.action = [&line, options] {
      return pingCommand(line.dbFile, options->device, options->pluginFile, std::cout);
    };
  });
}

void addRun(CLI::App &app, CommandLine &line) {
  struct Options {
    RunOptions run;
    std::string pluginFile;
    std::vector<std::string> statements;
    std::string programFile;
  };
  auto options = std::make_shared<Options>();
  auto *run = app.add_subcommand(
      "run", "execute a program of method invocations on a device through the plug-in");
  run->add_option("device", options->run.device, "device name")->required();
  auto *statements = run->add_option(
      "statements", options->statements,
      "statements, one per argument: HANDLE METHOD [ARGUMENT], e.g. '0x100 ARX_read_name'");
  run->add_option("--file", options->programFile,
                  "a file holding the program, one statement a line")
      ->check(CLI::ExistingFile)
      ->excludes(statements);
  run->add_flag("--raw", options->run.raw, "also print the request and answer envelope bytes");
  addPluginOption(*run, options->pluginFile);
  run->footer("Example: arxhost run meter1 '0x100 ARX_read_name' '0x110 Register_read_value'");
  run->callback([&line, options] {
    line.action = [&line, options] {
      RunOptions &program = options->run;
      program.pluginFile = options->pluginFile;
      if (!options->programFile.empty()) {
        std::ifstream in(options->programFile);
        program.program.assign(std::istreambuf_iterator<char>(in), {});
      }
      for (const std::string &statement : options->statements)
        program.program += statement + "\n";
      if (program.program.find_first_not_of(" \t\r\n") == std::string::npos)
        throw ToolError("no program: give statements or --file FILE");
      return runCommand(line.dbFile, program, std::cout);
    };
  });
}

void addRead(CLI::App &app, CommandLine &line) {
  struct Options {
    ReadOptions read;
    std::string pluginFile;
  };
  auto options = std::make_shared<Options>();
  auto *read = app.add_subcommand("read", "read handles of a device: value, label and units");
  read->add_option("device", options->read.device, "device name")->required();
  read->add_option("handles", options->read.handles, "handles, decimal (272) or hex (0x110)")
      ->required();
  read->add_flag("--json", options->read.json,
                 "one JSON object per handle and line: handle, label, value, error");
  addPluginOption(*read, options->pluginFile);
  read->footer("Exit status 0 when every handle was read, 1 otherwise.\n"
               "Example: arxhost read meter1 272 273 274 --json");
  read->callback([&line, options] {
    line.action = [&line, options] {
      options->read.pluginFile = options->pluginFile;
      return readCommand(line.dbFile, options->read, std::cout);
    };
  });
}

void addWrite(CLI::App &app, CommandLine &line) {
  struct Options {
    WriteOptions write;
    std::string pluginFile;
  };
  auto options = std::make_shared<Options>();
  auto *write = app.add_subcommand("write", "write a value to a handle of a device");
  write->add_option("device", options->write.device, "device name")->required();
  write->add_option("handle", options->write.handle, "handle, decimal (259) or hex (0x103)")
      ->required();
  write
      ->add_option("value", options->write.value,
                   "the value in the text form of values: 400, 400.5, 7u, true, a text")
      ->required();
  write->add_flag("--json", options->write.json,
                  "one JSON object: handle, label, value written, error");
  addPluginOption(*write, options->pluginFile);
  write->footer("Exit status 0 when the write succeeded, 1 otherwise.\n"
                "Example: arxhost write meter1 259 400");
  write->callback([&line, options] {
    line.action = [&line, options] {
      options->write.pluginFile = options->pluginFile;
      return writeCommand(line.dbFile, options->write, std::cout);
    };
  });
}

void addPoll(CLI::App &app, CommandLine &line) {
  struct Options {
    PollOptions poll;
    std::string pluginFile;
  };
  auto options = std::make_shared<Options>();
  auto *poll = app.add_subcommand(
      "poll", "read every mapped handle of a device again and again, until SIGINT or SIGTERM");
  poll->add_option("device", options->poll.device, "device name")->required();
  poll->add_option("--every", options->poll.everySeconds, "seconds between rounds")
      ->capture_default_str();
  poll->add_option("--count", options->poll.count, "stop after N rounds (0: never)")
      ->capture_default_str();
  poll->add_flag("--json", options->poll.json,
                 "JSON Lines (as read --json, with \"time\"), also when standard output is "
                 "not a terminal");
  addPluginOption(*poll, options->pluginFile);
  poll->footer("On a terminal: a table of label, value, units and age, redrawn each round.\n"
               "Exit status 1 when any read failed, 0 otherwise.\n"
               "Example: arxhost poll meter1 --every 2 --count 5 --json");
  poll->callback([&line, options] {
    line.action = [&line, options] {
      options->poll.pluginFile = options->pluginFile;
      options->poll.terminal = isatty(STDOUT_FILENO) != 0;
      StopSignals signals;
      return pollCommand(line.dbFile, options->poll, std::cout, signals.token());
    };
  });
}

void addPlan(CLI::App &app, CommandLine &line) {
  auto options = std::make_shared<PlanOptions>();
  auto *plan = app.add_subcommand(
      "plan", "show the Modbus messages a full read of a device sends, and why each message "
              "ends where it does");
  plan->add_option("device", options->device, "device name")->required();
  plan->add_flag("--json", options->json, "one JSON object per message and line");
  plan->footer(
      "Each line: function code, unit, first address, count (registers, coils or addresses),\n"
      "why the message ends there, and the handles it answers. A message ends by:\n"
      "  size limit     it holds as many registers as one message may (MaxRequestRegisters)\n"
      "  gap            reading on to the next register asked for would pass the size limit\n"
      "  invalid range  reaching the next register asked for would cover an InvalidAddressRange\n"
      "  dataset block  it is a DatasetAddressBlock, or the next register belongs to one\n"
      "  unit change    the next register asked for is on another unit\n"
      "  write          a write goes out alone\n"
      "  file record    a file record read is a message of its own\n"
      "  last           nothing further of its unit and register class was asked for\n"
      "The device's translator places the reads here, on its tree and map files; nothing is\n"
      "sent to the meter.");
  plan->callback([&line, options] {
    line.action = [&line, options] { return planCommand(line.dbFile, *options, std::cout); };
  });
}

} // namespace

void addPluginOption(CLI::App &command, std::string &pluginFile) {
  pluginFile = defaultPluginPath().string();
  command.add_option("--plugin", pluginFile, "plug-in file")->capture_default_str();
}

void addDeviceCommands(CLI::App &app, CommandLine &line) {
  addPing(app, line);
  addRun(app, line);
  addRead(app, line);
  addWrite(app, line);
  addPoll(app, line);
  addPlan(app, line);
}

} // namespace arxhost
