// ConfigDatabase: the process-wide client of the host's configuration
// database, one SQLite file.
//
// The file is $ARXMOD_HOST_DB, or host.db in the working directory, opened
// on first use (never created: a missing database is an error that names
// the path). One connection is shared by every thread under one mutex; it
// runs in WAL mode with a 5 s busy timeout so the host tool can change the
// configuration while the plug-in reads it. The plug-in only reads the
// configuration tables and appends to SystemLog. Values go into a query as
// bound parameters, never pasted into its text:
//
//   for (const auto &row : ConfigDatabase::instance().query(
//            "SELECT ID,Name FROM Translator WHERE DLL=?", {libraryName()}))
//     use(ConfigDatabase::toInt32(row[0]), ConfigDatabase::toString(row[1]));
//
// The database never writes to the system log while it holds its lock
// (see SystemLog.h for the lock order).
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <variant>
#include <vector>

struct sqlite3;

namespace arxmod {

// One row of the cached device table.
struct DeviceRecord {
  uint32_t id;
  std::string name;     // Device.Name
  std::string typeName; // DeviceType.Name
  std::string siteName; // Site.Name of the device's port; empty without one
  bool enabled;         // Device.Enabled and Port.Enabled (no port counts as enabled)
  std::string customProperty1;
};

// One SystemLog row.
struct SystemLogRow {
  std::string time; // local time, ISO 8601 with milliseconds
  unsigned priority;
  std::string host;
  std::string origin;
  std::string subOrigin;
  std::string origin2;
  int32_t code;
  std::string text;
};

// What reading a host setting found: its value (nullopt when the setting
// is absent or NULL), or why the database could not answer.
struct HostSettingRead {
  std::optional<std::string> value;
  std::string failure; // the database's failure; empty when it answered

  bool failed() const { return !failure.empty(); }
  // Writes the failure, if any, to the system log: "Host setting '<name>'
  // could not be read. Reason: ...". Call it without holding the database's
  // lock or the system log's.
  void logFailure(std::string_view name) const;
};

class ConfigDatabase {
public:
  static ConfigDatabase &instance();
  // Closes the connection and destroys the client (at unload, once
  // nothing queries or logs any more).
  static void releaseInstance();

  ConfigDatabase(const ConfigDatabase &) = delete;
  ConfigDatabase &operator=(const ConfigDatabase &) = delete;

  using Cell = std::variant<std::monostate, int64_t, double, std::string>;
  using Row = std::vector<Cell>;

  // NULL is 0; text must hold a whole decimal number; a value outside the
  // 32-bit range throws KSXmsg rather than being silently wrapped.
  static int32_t toInt32(const Cell &cell);
  // NULL is the empty string; numbers in their shortest decimal form.
  static std::string toString(const Cell &cell);

  // Runs one SQL text on the shared connection, with `parameters` bound
  // to its "?" placeholders in order, and returns its rows. A database
  // failure throws KSXmsg naming the database file, SQLite's message and
  // the SQL text; any other failure is also written to the system log
  // ("Unknown exception caught executing <sql>") and rethrown.
  std::vector<Row> query(const std::string &sql, std::initializer_list<Cell> parameters = {});

  // Maximum age of the plug-in's cached host tables.
  static constexpr uint32_t kRefreshPeriodMs = 30000;

  // The cached device table. It is reloaded when
  // "SELECT COUNT(*), MAX(Device.LastUpdate) FROM Device" differs from its
  // last answer; that check runs at most once per refresh period.
  std::optional<DeviceRecord> device(uint32_t id);
  // The same, with the change check made now regardless of its age.
  std::optional<DeviceRecord> deviceRefreshed(uint32_t id);

  // A HostSetting value; nullopt when the setting is absent or NULL, and
  // when the database fails, which is then written to the system log. The
  // caller's default stays in force in both cases. Call it without holding
  // the system log's lock (see SystemLog.h).
  std::optional<std::string> hostSetting(std::string_view name);
  // The same read, telling "absent" from "the database failed"; it neither
  // logs nor throws on a database failure (the default host name, which
  // every log entry needs, is read with it).
  HostSettingRead readHostSetting(std::string_view name);

  // The database file in use, or that the next use will open.
  std::filesystem::path path() const;

  // Appends one SystemLog row; throws KSXmsg when that fails.
  void appendSystemLog(const SystemLogRow &row);

  // Closes the connection and forgets every cache, the path and a changed
  // busy timeout, so the next use reopens from $ARXMOD_HOST_DB.
  void reset();

  // How long a statement waits for a lock held by another connection
  // before it fails (5 s unless changed; tests shorten it).
  static constexpr std::chrono::milliseconds kDefaultBusyTimeout{5000};
  void setBusyTimeout(std::chrono::milliseconds timeout);

private:
  ConfigDatabase() = default;

  struct ConnectionCloser {
    void operator()(sqlite3 *db) const;
  };

  std::filesystem::path pathLocked() const;
  sqlite3 *connectionLocked();
  std::vector<Row> executeLocked(const std::string &sql, std::span<const Cell> parameters = {});
  void refreshDevicesLocked(bool force);
  std::optional<DeviceRecord> lookUpDevice(uint32_t id, bool force);

  mutable std::mutex mutex_;
  mutable std::filesystem::path path_; // empty until resolved
  std::unique_ptr<sqlite3, ConnectionCloser> connection_;
  std::chrono::milliseconds busyTimeout_ = kDefaultBusyTimeout;

  // Device table cache.
  bool devicesLoaded_ = false;
  uint32_t devicesCheckedAt_ = 0; // tick count of the last change check
  Row devicesChangeKey_;          // COUNT(*), MAX(LastUpdate) at the last load
  std::unordered_map<uint32_t, DeviceRecord> devices_;
};

} // namespace arxmod
