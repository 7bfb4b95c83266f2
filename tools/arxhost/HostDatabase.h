// HostDatabase: the host tool's read-write view of the configuration
// database (the plug-in itself only reads it and appends to SystemLog).
//
// Every failure raises ToolError with a message that names the database file
// and, where one is at fault, the table or device.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

namespace arxhost {

class ToolError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

struct DeviceEntry {
  int64_t id = 0;
  std::string name;
  int64_t translatorId = 0;
  int64_t protocolId = 0;
  std::string translatorName;
  // How the transport reaches it: Port.Name, Port.Connection (empty without
  // a port) and Device.Unit.
  std::string port;
  std::string connection;
  int64_t unit = 1;
};

struct LogEntry {
  int64_t id = 0;
  int64_t priority = 0;
  std::string origin;
  std::string text;
};

struct NewDevice {
  std::string name;
  std::string site = "Site";
  std::string port = "Port";
  std::string connection;
  std::string type = "MX4110_4120";
  int unit = 1;
  std::string treeFile;
  std::string mapFile;
};

class HostDatabase {
public:
  // Opens an existing database; raises ToolError when the file is missing
  // or is not a host database.
  static HostDatabase open(const std::filesystem::path &file);
  // Creates a new database with the host schema, the MX4110_4120 translator
  // and directory settings under `workDirectory`; refuses an existing file.
  static HostDatabase create(const std::filesystem::path &file,
                             const std::filesystem::path &workDirectory);

  HostDatabase(HostDatabase &&other) noexcept;
  HostDatabase &operator=(HostDatabase &&) = delete;
  ~HostDatabase();

  const std::filesystem::path &file() const { return file_; }

  // Registers a device with its site, port and device type (each reused when
  // one of that name exists); refuses a device name that is taken.
  int64_t addDevice(const NewDevice &device);
  DeviceEntry device(const std::string &name);
  std::vector<std::string> deviceNames();

  int64_t lastLogId();
  std::vector<LogEntry> logEntriesAfter(int64_t id);

private:
  HostDatabase(sqlite3 *db, std::filesystem::path file);
  void exec(const std::string &sql);
  int64_t findOrInsert(const std::string &table, const std::string &name,
                       const std::string &insertSql, const std::vector<std::string> &bindings);
  [[noreturn]] void fail(const std::string &what) const;

  sqlite3 *db_;
  std::filesystem::path file_;
};

} // namespace arxhost
