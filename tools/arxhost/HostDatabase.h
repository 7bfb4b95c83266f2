// HostDatabase: the host tool's read-write view of the configuration
// database (the plug-in itself only reads it and appends to SystemLog).
//
// Sites hold ports, ports hold devices; each is named uniquely within its
// table. A device's port says how the transport reaches it
// (Port.Connection); a port is made, with its site, when a device names one
// that does not exist yet. Removing refuses anything that others still use.
//
// Every failure raises ToolError with a message that names the database file
// and, where one is at fault, the table, site, port or device.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

struct sqlite3;

namespace arxhost {

class SqlStatement;

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
  std::string time; // local time with milliseconds, ISO 8601
  int64_t priority = 0;
  std::string origin;
  std::string subOrigin;
  int64_t code = 0;
  std::string text;
};

struct NewPort {
  std::string name;
  std::string site = "Site";
  std::string connection; // empty: none yet
};

struct NewDevice {
  std::string name;
  // The site and connection of the port; when the port exists already,
  // given ones must agree with it. Empty: "Site" and no connection for a new
  // port, the port's own for an existing one.
  std::string site;
  std::string port = "Port";
  std::string connection;
  std::string type = "MX4110_4120";
  int unit = 1;
  std::string treeFile;
  std::string mapFile;
};

struct SiteRow {
  std::string name;
  int64_t ports = 0;
};

struct PortRow {
  std::string name;
  std::string site;
  std::string connection;
  int64_t devices = 0;
};

struct DeviceRow {
  std::string name;
  std::string port;
  int64_t unit = 1;
  std::string type;
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

  // Each refuses a name that is taken in its table.
  int64_t addSite(const std::string &name);
  // Makes the port's site when there is none of that name.
  int64_t addPort(const NewPort &port);
  // Registers a device with its port and device type (each reused when one
  // of that name exists, made otherwise).
  int64_t addDevice(const NewDevice &device);

  std::vector<SiteRow> sites();
  std::vector<PortRow> ports();
  std::vector<DeviceRow> devices();
  std::vector<std::string> deviceNames();

  // Each refuses a name that is not there; a site that has ports and a port
  // that has devices are refused too.
  void removeSite(const std::string &name);
  void removePort(const std::string &name);
  void removeDevice(const std::string &name);

  DeviceEntry device(const std::string &name);
  // The value of a HostSetting, or none.
  std::optional<std::string> setting(const std::string &name);

  int64_t lastLogId();
  // SystemLog rows after `id` in order; with `limit`, only the last that many.
  std::vector<LogEntry> logEntriesAfter(int64_t id, std::optional<size_t> limit = std::nullopt);

private:
  HostDatabase(sqlite3 *db, std::filesystem::path file);
  void exec(const std::string &sql);
  // Runs `work` in an immediate transaction, rolled back when it raises.
  template <typename Work> auto inTransaction(Work &&work);
  std::optional<int64_t> findId(const std::string &table, const std::string &name);
  int64_t insert(const std::string &sql, const std::vector<std::string> &bindings);
  int64_t findOrInsert(const std::string &table, const std::string &name,
                       const std::string &insertSql, const std::vector<std::string> &bindings);
  // A new port, and its site when there is none of that name ("Site" when
  // `site` is empty).
  int64_t insertPort(const std::string &name, const std::string &site,
                     const std::string &connection);
  // The id of the named row; ToolError naming the table when there is none.
  int64_t existingId(const std::string &table, const std::string &what, const std::string &name,
                     const std::string &listCommand);
  void refuseTaken(const std::string &table, const std::string &what, const std::string &name);
  int64_t portFor(const NewDevice &device);
  // How a row is removed: its table, what it is called in messages, the
  // query of the names of rows that still use it (by its ID), and what
  // they are.
  struct Removal {
    std::string table;
    std::string what;
    std::string usersSql;
    std::string usersAre;
    std::string userWhat;
  };
  void removeUnused(const Removal &removal, const std::string &name);
  [[noreturn]] void fail(const std::string &what) const;

  sqlite3 *db_;
  // Prepared at its first use: a session asks it before every Process call.
  std::unique_ptr<SqlStatement> lastLogIdQuery_;
  std::filesystem::path file_;
};

} // namespace arxhost
