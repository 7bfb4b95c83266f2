// arxhost: a small host for the arxmod translator plug-in. It keeps the
// host configuration database and drives the plug-in as the host's
// communications server does.
#include "Commands.h"
#include "PluginLibrary.h"
#include "StopSignals.h"

#include <CLI/CLI.hpp>

#include <fstream>
#include <iostream>
#include <iterator>

int main(int argc, char **argv) {
  CLI::App app{"arxhost: host configuration database and test host for the MX4110_4120 "
               "translator plug-in"};
  app.require_subcommand(1);
  std::string dbFile = "host.db";
  app.add_option("--db", dbFile, "host configuration database file")
      ->envname("ARXMOD_HOST_DB")
      ->capture_default_str();

  app.add_subcommand("init", "create a host database with the plug-in's translator and "
                             "directories beside it");

  auto *device = app.add_subcommand("device", "manage devices")->require_subcommand(1);
  arxhost::NewDevice newDevice;
  auto *add = device->add_subcommand("add", "register a device of the MX4110_4120 translator");
  add->add_option("name", newDevice.name, "device name")->required();
  add->add_option("--site", newDevice.site, "site name")->capture_default_str();
  add->add_option("--port", newDevice.port, "port name")->capture_default_str();
  add->add_option("--connection", newDevice.connection,
                  "how to reach the meter: tcp://HOST:PORT or rtu:///dev/ttyX?baud=19200");
  add->add_option("--type", newDevice.type, "device type name")->capture_default_str();
  add->add_option("--unit", newDevice.unit, "Modbus unit number")->capture_default_str();
  add->add_option("--tree", newDevice.treeFile, "tree file name");
  add->add_option("--map", newDevice.mapFile, "map file name (of the device type)");
  auto *list = device->add_subcommand("list", "list the registered devices");

  std::string pingDevice;
  std::string pluginFile = arxhost::defaultPluginPath().string();
  auto *ping = app.add_subcommand("ping", "send a channel message to a device through the plug-in");
  ping->add_option("device", pingDevice, "device name")->required();
  ping->add_option("--plugin", pluginFile, "plug-in file")->capture_default_str();

  arxhost::RunOptions run;
  run.pluginFile = pluginFile;
  std::vector<std::string> statements;
  std::string programFile;
  auto *runCommand = app.add_subcommand(
      "run", "execute a program of method invocations on a device through the plug-in");
  runCommand->add_option("device", run.device, "device name")->required();
  auto *statementsOption = runCommand->add_option(
      "statements", statements,
      "statements, one per argument: HANDLE METHOD [ARGUMENT], e.g. '0x100 ARX_read_name'");
  runCommand->add_option("--file", programFile, "a file holding the program, one statement a line")
      ->check(CLI::ExistingFile)
      ->excludes(statementsOption);
  runCommand->add_flag("--raw", run.raw, "also print the request and answer envelope bytes");
  runCommand->add_option("--plugin", run.pluginFile, "plug-in file")->capture_default_str();

  arxhost::SimOptions sim;
  auto *simCommand = app.add_subcommand(
      "sim", "serve the simulated meter over Modbus TCP until SIGINT or SIGTERM");
  simCommand->add_option("--listen", sim.listen, "HOST:PORT to listen on; port 0 picks a free one")
      ->capture_default_str();
  simCommand->add_option("--unit", sim.unit, "Modbus unit number it answers")
      ->check(CLI::Range(0, 255))
      ->capture_default_str();
  simCommand->add_option("--fault", sim.faults,
                         "a fault to inject, repeatable: KIND[:VALUE][,fc=N][,times=N|,always]");
  simCommand->footer(
      "Fault kinds: noreply | exception:N | cut[:BYTES] | function[:CODE] |\n"
      "  transmission[:N] (function 100 only) | delay:MS\n"
      "Options: fc=N only requests of function N; times=N the next N requests\n"
      "  (default 1); always every request; unit=N the unit (must be --unit).\n"
      "Example: arxhost sim --listen 127.0.0.1:0 --fault exception:6,fc=16 --fault delay:1500");

  CLI11_PARSE(app, argc, argv);
  try {
    if (app.got_subcommand("init"))
      return arxhost::initCommand(dbFile, std::cout);
    if (add->parsed())
      return arxhost::deviceAddCommand(dbFile, newDevice, std::cout);
    if (list->parsed())
      return arxhost::deviceListCommand(dbFile, std::cout);
    if (runCommand->parsed()) {
      if (!programFile.empty()) {
        std::ifstream in(programFile);
        run.program.assign(std::istreambuf_iterator<char>(in), {});
      }
      for (const std::string &statement : statements)
        run.program += statement + "\n";
      if (run.program.find_first_not_of(" \t\r\n") == std::string::npos)
        throw arxhost::ToolError("no program: give statements or --file FILE");
      return arxhost::runCommand(dbFile, run, std::cout);
    }
    if (simCommand->parsed()) {
      arxhost::StopSignals signals;
      return arxhost::simCommand(sim, std::cout, signals.token());
    }
    if (ping->parsed())
      return arxhost::pingCommand(dbFile, pingDevice, pluginFile, std::cout);
  } catch (const std::exception &e) {
    std::cerr << "arxhost: " << e.what() << "\n";
    return 2;
  }
  return 0;
}
