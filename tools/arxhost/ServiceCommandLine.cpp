// The command line of the commands around the plug-in: log, trace, sim
// and demo.
#include "CommandLine.h"
#include "Commands.h"
#include "StopSignals.h"

#include <iostream>
#include <memory>

namespace arxhost {
namespace {

void addSim(CLI::App &app, CommandLine &line) {
  auto options = std::make_shared<SimOptions>();
  auto *sim = app.add_subcommand(
      "sim", "serve the simulated meter over Modbus TCP until SIGINT or SIGTERM");
  sim->add_option("--listen", options->listen, "HOST:PORT to listen on; port 0 picks a free one")
      ->capture_default_str();
  sim->add_option("--unit", options->unit, "Modbus unit number it answers")
      ->check(CLI::Range(0, 255))
      ->capture_default_str();
  sim->add_option("--fault", options->faults,
                  "a fault to inject, repeatable: KIND[:VALUE][,fc=N][,times=N|,always]");
  sim->footer(
      "Fault kinds: noreply | exception:N | cut[:BYTES] | function[:CODE] |\n"
      "  transmission[:N] (function 100 only) | delay:MS\n"
      "Options: fc=N only requests of function N; times=N the next N requests\n"
      "  (default 1); always every request; unit=N the unit (must be --unit).\n"
      "Example: arxhost sim --listen 127.0.0.1:0 --fault exception:6,fc=16 --fault delay:1500");
  sim->callback([&line, options] {
    line.action = [options] {
      StopSignals signals;
      return simCommand(*options, std::cout, signals.token());
    };
  });
}

void addLog(CLI::App &app, CommandLine &line) {
  struct Options {
    LogOptions log;
    size_t limit = 0;
  };
  auto options = std::make_shared<Options>();
  auto *log = app.add_subcommand("log", "show the system log (the SystemLog rows of the host "
                                        "database) with the level word of each row");
  log->add_flag("--follow,-f", options->log.follow,
                "then show the rows as they come, until SIGINT or SIGTERM");
  auto *limit = log->add_option("--limit,-n", options->limit, "show only the last N rows first");
  log->callback([&line, options, limit] {
    line.action = [&line, options, limit] {
      if (limit->count())
        options->log.limit = options->limit;
      StopSignals signals;
      return logCommand(line.dbFile, options->log, std::cout, signals.token());
    };
  });
}

void addTrace(CLI::App &app, CommandLine &line) {
  auto options = std::make_shared<TraceOptions>();
  auto *trace = app.add_subcommand(
      "trace", "follow the plug-in's diagnostic trace file (ARXMOD_TRACE_FILE) until SIGINT or "
               "SIGTERM");
  trace->add_option("--file", options->file, "the trace file (default: $ARXMOD_TRACE_FILE)");
  trace->add_option("--lines,-n", options->lines, "lines shown from the end of the file first")
      ->capture_default_str();
  trace->footer("The plug-in writes traces when ARXMOD_TRACE_FILE is set in the environment of\n"
                "the command that runs it and the device's map switches them on (Diagnostics\n"
                "EnableTracing, TransactionConfiguration DiagnosticFlags). Example:\n"
                "  export ARXMOD_TRACE_FILE=/tmp/arxmod.trace\n"
                "  arxhost trace &   arxhost poll meter1");
  trace->callback([&line, options] {
    line.action = [options] {
      StopSignals signals;
      return traceCommand(*options, std::cout, signals.token());
    };
  });
}

void addDemo(CLI::App &app, CommandLine &line) {
  struct Options {
    DemoOptions demo;
    std::string pluginFile;
  };
  auto options = std::make_shared<Options>();
  auto *demo = app.add_subcommand(
      "demo", "a tour for newcomers: a host database in a temporary folder, the simulated "
              "meter on a free loopback port, reads, a write and the logs; then it cleans up");
  addPluginOption(*demo, options->pluginFile);
  demo->callback([&line, options] {
    line.action = [options] {
      options->demo.pluginFile = options->pluginFile;
      return demoCommand(options->demo, std::cout);
    };
  });
}

} // namespace

void addServiceCommands(CLI::App &app, CommandLine &line) {
  addDemo(app, line);
  addLog(app, line);
  addTrace(app, line);
  addSim(app, line);
}

} // namespace arxhost
