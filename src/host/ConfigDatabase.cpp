// ConfigDatabase: the shared SQLite connection, its queries and the cached
// device table.
//
// Failures of SQLite become KSXmsg texts of the form
//   Host database '<file>': <SQLite's message> executing "<sql>"
// so an operator sees which file and which statement failed.
#include "host/ConfigDatabase.h"

#include "base/KSXmsg.h"
#include "base/ProcessSingleton.h"
#include "base/TickCount.h"
#include "host/LogLevel.h"
#include "host/SLMessage.h"
#include "host/SqlFunctions.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <sqlite3.h>

namespace arxmod {

namespace {

constexpr const char *kDeviceChangeQuery = "SELECT COUNT(*), MAX(Device.LastUpdate) FROM Device";
constexpr const char *kDeviceTableQuery =
    "SELECT Device.ID, Device.Name, ISNULL(DeviceType.Name,''), ISNULL(Site.Name,''),"
    " Device.Enabled AND ISNULL(Port.Enabled,1), ISNULL(Device.CustomProperty1,'')"
    " FROM Device LEFT JOIN DeviceType ON DeviceType.ID=Device.DeviceTypeID"
    " LEFT JOIN Port ON Port.ID=Device.PortID LEFT JOIN Site ON Site.ID=Port.SiteID";

struct StatementFinalizer {
  void operator()(sqlite3_stmt *statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, StatementFinalizer>;

ConfigDatabase::Cell readColumn(sqlite3_stmt *statement, int column) {
  switch (sqlite3_column_type(statement, column)) {
  case SQLITE_INTEGER:
    return static_cast<int64_t>(sqlite3_column_int64(statement, column));
  case SQLITE_FLOAT:
    return sqlite3_column_double(statement, column);
  case SQLITE_NULL:
    return std::monostate{};
  default: {
    // Text and blobs alike: the bytes, with their length from SQLite.
    const void *bytes = sqlite3_column_blob(statement, column);
    const int size = sqlite3_column_bytes(statement, column);
    if (!bytes || size <= 0)
      return std::string();
    return std::string(static_cast<const char *>(bytes), static_cast<size_t>(size));
  }
  }
}

int bindCell(sqlite3_stmt *statement, int index, const ConfigDatabase::Cell &cell) {
  if (const auto *value = std::get_if<int64_t>(&cell))
    return sqlite3_bind_int64(statement, index, *value);
  if (const auto *value = std::get_if<double>(&cell))
    return sqlite3_bind_double(statement, index, *value);
  if (const auto *value = std::get_if<std::string>(&cell))
    return sqlite3_bind_text64(statement, index, value->data(), value->size(), SQLITE_TRANSIENT,
                               SQLITE_UTF8);
  return sqlite3_bind_null(statement, index);
}

} // namespace

void ConfigDatabase::ConnectionCloser::operator()(sqlite3 *db) const { sqlite3_close_v2(db); }

namespace {
constinit ProcessSingleton<ConfigDatabase> database;
}

ConfigDatabase &ConfigDatabase::instance() {
  return database.get([] { return new ConfigDatabase(); });
}

void ConfigDatabase::releaseInstance() { database.release(); }

int32_t ConfigDatabase::toInt32(const Cell &cell) {
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  int64_t value = 0;
  if (const auto *integer = std::get_if<int64_t>(&cell)) {
    value = *integer;
  } else if (const auto *real = std::get_if<double>(&cell)) {
    const double rounded = std::nearbyint(*real);
    if (!(rounded >= static_cast<double>(kMin) && rounded <= static_cast<double>(kMax)))
      throw KSXmsg("Database value " + toString(cell) + " is not a 32-bit integer");
    value = static_cast<int64_t>(rounded);
  } else if (const auto *text = std::get_if<std::string>(&cell)) {
    const char *end = text->data() + text->size();
    const auto [stop, error] = std::from_chars(text->data(), end, value);
    if (error != std::errc() || stop != end || text->empty())
      throw KSXmsg("Database value '" + *text + "' is not a 32-bit integer");
  }
  if (value < kMin || value > kMax)
    throw KSXmsg("Database value " + std::to_string(value) + " is not a 32-bit integer");
  return static_cast<int32_t>(value);
}

std::string ConfigDatabase::toString(const Cell &cell) {
  if (const auto *integer = std::get_if<int64_t>(&cell))
    return std::to_string(*integer);
  if (const auto *real = std::get_if<double>(&cell)) {
    char buffer[32];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, *real);
    return std::string(buffer, result.ptr);
  }
  if (const auto *text = std::get_if<std::string>(&cell))
    return *text;
  return std::string();
}

std::filesystem::path ConfigDatabase::pathLocked() const {
  if (path_.empty()) {
    const char *configured = std::getenv("ARXMOD_HOST_DB");
    path_ = configured && *configured ? configured : "host.db";
  }
  return path_;
}

std::filesystem::path ConfigDatabase::path() const {
  std::lock_guard lock(mutex_);
  return pathLocked();
}

sqlite3 *ConfigDatabase::connectionLocked() {
  if (connection_)
    return connection_.get();
  const std::filesystem::path file = pathLocked();
  sqlite3 *raw = nullptr;
  const int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  std::unique_ptr<sqlite3, ConnectionCloser> db(raw);
  if (rc != SQLITE_OK)
    throw KSXmsg("Host database '" + file.string() +
                 "': " + (db ? sqlite3_errmsg(db.get()) : sqlite3_errstr(rc)));
  sqlite3_busy_timeout(db.get(), static_cast<int>(busyTimeout_.count()));
  if (registerIsNull(db.get()) != SQLITE_OK)
    throw KSXmsg("Host database '" + file.string() + "': " + sqlite3_errmsg(db.get()));
  // WAL lets the host tool write while we read. A read-only file keeps its
  // journal mode; anything else failing here (not a database, not
  // openable) is reported now rather than at the first query.
  // synchronous=NORMAL is the usual WAL setting: a crash cannot corrupt the
  // file, and log rows do not each wait for a disk flush.
  for (const char *pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL"}) {
    const int pragmaRc = sqlite3_exec(db.get(), pragma, nullptr, nullptr, nullptr);
    if (pragmaRc != SQLITE_OK && (pragmaRc & 0xff) != SQLITE_READONLY)
      throw KSXmsg("Host database '" + file.string() + "': " + sqlite3_errmsg(db.get()));
  }
  connection_ = std::move(db);
  return connection_.get();
}

std::vector<ConfigDatabase::Row> ConfigDatabase::executeLocked(const std::string &sql,
                                                               std::span<const Cell> parameters) {
  sqlite3 *db = connectionLocked();
  auto fail = [&]() -> KSXmsg {
    return KSXmsg("Host database '" + pathLocked().string() + "': " + sqlite3_errmsg(db) +
                  " executing \"" + sql + "\"");
  };
  const std::string prepared = quoteIsNullCalls(sql);
  if (prepared.size() > static_cast<size_t>(std::numeric_limits<int>::max()))
    throw KSXmsg("Host database '" + pathLocked().string() + "': SQL text of " +
                 std::to_string(prepared.size()) + " bytes is too long");
  sqlite3_stmt *raw = nullptr;
  if (sqlite3_prepare_v2(db, prepared.c_str(), static_cast<int>(prepared.size()), &raw, nullptr) !=
      SQLITE_OK)
    throw fail();
  Statement statement(raw);
  if (!statement) // the text held no statement
    return {};
  for (size_t i = 0; i < parameters.size(); ++i) {
    if (bindCell(statement.get(), static_cast<int>(i + 1), parameters[i]) != SQLITE_OK)
      throw fail();
  }
  std::vector<Row> rows;
  const int columns = sqlite3_column_count(statement.get());
  for (;;) {
    const int rc = sqlite3_step(statement.get());
    if (rc == SQLITE_DONE)
      return rows;
    if (rc != SQLITE_ROW)
      throw fail();
    Row &row = rows.emplace_back();
    row.reserve(static_cast<size_t>(columns));
    for (int column = 0; column < columns; ++column)
      row.push_back(readColumn(statement.get(), column));
  }
}

std::vector<ConfigDatabase::Row> ConfigDatabase::query(const std::string &sql,
                                                       std::initializer_list<Cell> parameters) {
  try {
    std::lock_guard lock(mutex_);
    return executeLocked(sql, std::span(parameters.begin(), parameters.size()));
  } catch (const KSXmsg &) {
    throw;
  } catch (...) {
    // The lock is released by now: the system-log write appends to this
    // database and must be able to take it.
    SLMessage(LogDestination::ConsoleAndSystemLog, "Unknown exception caught executing " + sql)
        .write(kPriorityCritical, "", 0, "ConfigDatabase", "");
    throw;
  }
}

void ConfigDatabase::refreshDevicesLocked(bool force) {
  const uint32_t now = tickCount();
  if (devicesLoaded_ && !force && ticksElapsed(devicesCheckedAt_, now) <= kRefreshPeriodMs)
    return;
  std::vector<Row> key = executeLocked(kDeviceChangeQuery);
  devicesCheckedAt_ = now;
  Row changeKey = key.empty() ? Row() : std::move(key.front());
  if (devicesLoaded_ && changeKey == devicesChangeKey_)
    return;
  std::unordered_map<uint32_t, DeviceRecord> loaded;
  for (const Row &row : executeLocked(kDeviceTableQuery)) {
    const auto id = static_cast<uint32_t>(toInt32(row[0]));
    loaded[id] = DeviceRecord{id,
                              toString(row[1]),
                              toString(row[2]),
                              toString(row[3]),
                              toInt32(row[4]) != 0,
                              toString(row[5])};
  }
  devices_ = std::move(loaded);
  devicesChangeKey_ = std::move(changeKey);
  devicesLoaded_ = true;
}

std::optional<DeviceRecord> ConfigDatabase::lookUpDevice(uint32_t id, bool force) {
  std::lock_guard lock(mutex_);
  refreshDevicesLocked(force);
  const auto found = devices_.find(id);
  if (found == devices_.end())
    return std::nullopt;
  return found->second;
}

std::optional<DeviceRecord> ConfigDatabase::device(uint32_t id) { return lookUpDevice(id, false); }

std::optional<DeviceRecord> ConfigDatabase::deviceRefreshed(uint32_t id) {
  return lookUpDevice(id, true);
}

void HostSettingRead::logFailure(std::string_view name) const {
  if (failed())
    SLMessage(LogDestination::ConsoleAndSystemLog,
              "Host setting '" + std::string(name) + "' could not be read. Reason: " + failure)
        .write(kPriorityMessage, "", 0, "ConfigDatabase", "");
}

HostSettingRead ConfigDatabase::readHostSetting(std::string_view name) {
  HostSettingRead read;
  try {
    std::lock_guard lock(mutex_);
    const auto rows = executeLocked("SELECT Value FROM HostSetting WHERE Name = ?",
                                    std::array{Cell{std::string(name)}});
    if (!rows.empty() && !std::holds_alternative<std::monostate>(rows.front().at(0)))
      read.value = toString(rows.front().at(0));
  } catch (const KSXmsg &failure) {
    read.failure = failure.text();
  }
  return read;
}

std::optional<std::string> ConfigDatabase::hostSetting(std::string_view name) {
  HostSettingRead read = readHostSetting(name);
  read.logFailure(name);
  return std::move(read.value);
}

void ConfigDatabase::appendSystemLog(const SystemLogRow &row) {
  const Cell values[] = {row.time,          static_cast<int64_t>(row.priority),
                         row.host,          row.origin,
                         row.subOrigin,     row.origin2,
                         int64_t{row.code}, row.text};
  std::lock_guard lock(mutex_);
  executeLocked("INSERT INTO SystemLog (Time,Priority,Host,Origin,SubOrigin,Origin2,Code,Text)"
                " VALUES (?,?,?,?,?,?,?,?)",
                values);
}

void ConfigDatabase::reset() {
  std::lock_guard lock(mutex_);
  connection_.reset();
  path_.clear();
  busyTimeout_ = kDefaultBusyTimeout;
  devicesLoaded_ = false;
  devicesChangeKey_.clear();
  devices_.clear();
}

void ConfigDatabase::setBusyTimeout(std::chrono::milliseconds timeout) {
  std::lock_guard lock(mutex_);
  busyTimeout_ = std::clamp(timeout, std::chrono::milliseconds(0),
                            std::chrono::milliseconds(std::numeric_limits<int>::max()));
  if (connection_)
    sqlite3_busy_timeout(connection_.get(), static_cast<int>(busyTimeout_.count()));
}

} // namespace arxmod
