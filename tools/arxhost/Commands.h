// The host tool's commands. Each returns the process exit status and
// raises ToolError for failures that name their file, table or device.
#pragma once

#include "HostDatabase.h"

#include <filesystem>
#include <iosfwd>
#include <stop_token>
#include <string>
#include <vector>

namespace arxhost {

int initCommand(const std::filesystem::path &dbFile, std::ostream &out);
int deviceAddCommand(const std::filesystem::path &dbFile, const NewDevice &device,
                     std::ostream &out);
int deviceListCommand(const std::filesystem::path &dbFile, std::ostream &out);
struct RunOptions {
  std::string device;
  std::string program; // text form, one statement per line
  std::filesystem::path pluginFile;
  bool raw = false; // also print the envelopes' bytes
};
int runCommand(const std::filesystem::path &dbFile, const RunOptions &options, std::ostream &out);

int pingCommand(const std::filesystem::path &dbFile, const std::string &deviceName,
                const std::filesystem::path &pluginFile, std::ostream &out);

struct SimOptions {
  std::string listen = "127.0.0.1:1502";
  int unit = 1;
  std::vector<std::string> faults; // the text form of sim::Fault
};
// Serves the simulated meter until `stop`; prints "listening on HOST:PORT"
// once it accepts connections.
int simCommand(const SimOptions &options, std::ostream &out, std::stop_token stop);

} // namespace arxhost
