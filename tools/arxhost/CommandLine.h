// The command line of arxhost: every command with its options and help.
// Parsing a command sets the action that main runs once the whole line has
// parsed; the add functions keep each command's options alive inside the
// actions they set.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <string>

namespace arxhost {

struct CommandLine {
  std::string dbFile = "host.db";
  std::function<int()> action;
};

// init; site, port and device add, list and remove.
void addDatabaseCommands(CLI::App &app, CommandLine &line);
// ping, run, read, write, poll, plan.
void addDeviceCommands(CLI::App &app, CommandLine &line);
// log, trace, sim, demo.
void addServiceCommands(CLI::App &app, CommandLine &line);

// The --plugin option of a command that loads the plug-in.
void addPluginOption(CLI::App &command, std::string &pluginFile);

} // namespace arxhost
