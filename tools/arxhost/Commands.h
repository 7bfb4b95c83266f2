// The host tool's commands. Each returns the process exit status and
// raises ToolError for failures that name their file, table, device or
// handle.
#pragma once

#include "HostDatabase.h"

#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace arxhost {

// --- The host database.
int initCommand(const std::filesystem::path &dbFile, std::ostream &out);
int siteAddCommand(const std::filesystem::path &dbFile, const std::string &name, std::ostream &out);
int portAddCommand(const std::filesystem::path &dbFile, const NewPort &port, std::ostream &out);
int deviceAddCommand(const std::filesystem::path &dbFile, const NewDevice &device,
                     std::ostream &out);
int siteListCommand(const std::filesystem::path &dbFile, std::ostream &out);
int portListCommand(const std::filesystem::path &dbFile, std::ostream &out);
int deviceListCommand(const std::filesystem::path &dbFile, std::ostream &out);

enum class TableKind { Site, Port, Device };
// "site", "port", "device".
const char *tableKindName(TableKind kind);
int removeCommand(const std::filesystem::path &dbFile, TableKind kind, const std::string &name,
                  std::ostream &out);

// --- Talking to a device through the plug-in.
int pingCommand(const std::filesystem::path &dbFile, const std::string &deviceName,
                const std::filesystem::path &pluginFile, std::ostream &out);

struct RunOptions {
  std::string device;
  std::string program; // text form, one statement per line
  std::filesystem::path pluginFile;
  bool raw = false; // also print the envelopes' bytes
};
int runCommand(const std::filesystem::path &dbFile, const RunOptions &options, std::ostream &out);

struct ReadOptions {
  std::string device;
  std::vector<std::string> handles; // decimal or 0x hexadecimal
  bool json = false;                // one JSON object per handle and line
  std::filesystem::path pluginFile;
};
// Exit 0 when every handle was read, 1 otherwise.
int readCommand(const std::filesystem::path &dbFile, const ReadOptions &options, std::ostream &out);

struct WriteOptions {
  std::string device;
  std::string handle;
  std::string value; // the text form of values
  bool json = false;
  std::filesystem::path pluginFile;
};
// Exit 0 when the write succeeded, 1 with its error otherwise.
int writeCommand(const std::filesystem::path &dbFile, const WriteOptions &options,
                 std::ostream &out);

struct PollOptions {
  std::string device;
  double everySeconds = 1.0;
  uint64_t count = 0;    // rounds; 0: until stopped
  bool json = false;     // JSON Lines with "time" (also when `terminal` is false)
  bool terminal = false; // redraw a table in place
  std::filesystem::path pluginFile;
};
// Reads every mapped handle each round until `count` rounds or `stop`.
int pollCommand(const std::filesystem::path &dbFile, const PollOptions &options, std::ostream &out,
                std::stop_token stop);

struct PlanOptions {
  std::string device;
  bool json = false; // one JSON object per message and line
};
// Prints the Modbus messages a full read of the device sends.
int planCommand(const std::filesystem::path &dbFile, const PlanOptions &options, std::ostream &out);

// --- What the plug-in reports.
struct LogOptions {
  bool follow = false;         // then the rows that come, until stopped
  std::optional<size_t> limit; // only the last N rows at first
};
int logCommand(const std::filesystem::path &dbFile, const LogOptions &options, std::ostream &out,
               std::stop_token stop);

struct TraceOptions {
  std::filesystem::path file; // empty: ARXMOD_TRACE_FILE
  size_t lines = 10;          // shown from the file's end at first
};
// Follows the trace file until `stop`.
int traceCommand(const TraceOptions &options, std::ostream &out, std::stop_token stop);

// --- The simulated meter.
struct SimOptions {
  std::string listen = "127.0.0.1:1502";
  int unit = 1;
  std::vector<std::string> faults; // the text form of sim::Fault
};
// Serves the simulated meter until `stop`; prints "listening on HOST:PORT"
// once it accepts connections.
int simCommand(const SimOptions &options, std::ostream &out, std::stop_token stop);

// --- The tour.
struct DemoOptions {
  std::filesystem::path pluginFile;
};
// Walks a newcomer through the tool against the simulated meter, in a
// temporary folder that it removes; 1 when a step failed.
int demoCommand(const DemoOptions &options, std::ostream &out);

} // namespace arxhost
