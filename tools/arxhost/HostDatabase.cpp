// The host tool's database operations over SQLite.
#include "HostDatabase.h"

#include "host/HostSchema.h"

#include <sqlite3.h>
#include <utility>

namespace arxhost {
namespace {

// One prepared statement with text bindings, finalised on scope exit.
class Statement {
public:
  Statement(sqlite3 *db, const std::string &sql, const std::vector<std::string> &bindings = {})
      : db_(db) {
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK)
      throw ToolError(sqlite3_errmsg(db));
    for (size_t i = 0; i < bindings.size(); ++i)
      sqlite3_bind_text(stmt_, static_cast<int>(i + 1), bindings[i].c_str(), -1, SQLITE_TRANSIENT);
  }
  Statement(const Statement &) = delete;
  Statement &operator=(const Statement &) = delete;
  ~Statement() { sqlite3_finalize(stmt_); }

  bool step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
      return true;
    if (rc != SQLITE_DONE)
      throw ToolError(sqlite3_errmsg(db_));
    return false;
  }
  int64_t integer(int column) { return sqlite3_column_int64(stmt_, column); }
  std::string text(int column) {
    const auto *t = sqlite3_column_text(stmt_, column);
    return t ? reinterpret_cast<const char *>(t) : "";
  }

private:
  sqlite3 *db_;
  sqlite3_stmt *stmt_ = nullptr;
};

sqlite3 *openFile(const std::filesystem::path &file, int flags) {
  sqlite3 *db = nullptr;
  if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
    std::string reason = db ? sqlite3_errmsg(db) : "out of memory";
    sqlite3_close(db);
    throw ToolError("Cannot open host database " + file.string() + ": " + reason);
  }
  sqlite3_busy_timeout(db, 5000);
  return db;
}

} // namespace

HostDatabase::HostDatabase(sqlite3 *db, std::filesystem::path file)
    : db_(db), file_(std::move(file)) {}

HostDatabase::HostDatabase(HostDatabase &&other) noexcept
    : db_(std::exchange(other.db_, nullptr)), file_(std::move(other.file_)) {}

HostDatabase::~HostDatabase() { sqlite3_close(db_); }

void HostDatabase::fail(const std::string &what) const {
  throw ToolError(file_.string() + ": " + what);
}

void HostDatabase::exec(const std::string &sql) {
  char *error = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    std::string reason = error ? error : "unknown error";
    sqlite3_free(error);
    fail(reason);
  }
}

HostDatabase HostDatabase::open(const std::filesystem::path &file) {
  if (!std::filesystem::exists(file))
    throw ToolError("Host database " + file.string() +
                    " does not exist; create it with 'arxhost init --db " + file.string() + "'");
  HostDatabase database(openFile(file, SQLITE_OPEN_READWRITE), file);
  try {
    Statement check(database.db_, "SELECT COUNT(*) FROM Device");
    check.step();
  } catch (const ToolError &e) {
    database.fail(std::string("not a host database (") + e.what() + ")");
  }
  return database;
}

HostDatabase HostDatabase::create(const std::filesystem::path &file,
                                  const std::filesystem::path &workDirectory) {
  if (std::filesystem::exists(file))
    throw ToolError("Host database " + file.string() + " already exists; remove it first");
  HostDatabase database(openFile(file, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE), file);
  try {
    database.exec("PRAGMA journal_mode=WAL");
    arxmod::createHostSchema(database.db_);
  } catch (const std::exception &e) {
    database.fail(e.what());
  }
  const auto translators = std::filesystem::absolute(workDirectory / "translators");
  const auto overrides = translators / "override";
  const auto data = std::filesystem::absolute(workDirectory / "data");
  for (const auto &dir : {overrides, data})
    std::filesystem::create_directories(dir);
  Statement(database.db_,
            "INSERT INTO Translator(Name,ProtocolID,DLL) VALUES('MX4110_4120',0,'mx4110_4120.so')")
      .step();
  const std::pair<const char *, std::string> settings[] = {
      {"TranslatorDirectory", translators.string()},
      {"TranslatorOverrideDirectory", overrides.string()},
      {"DataDirectory", data.string()}};
  for (const auto &[name, value] : settings)
    Statement(database.db_, "INSERT INTO HostSetting(Name,Value) VALUES(?,?)", {name, value})
        .step();
  return database;
}

int64_t HostDatabase::findOrInsert(const std::string &table, const std::string &name,
                                   const std::string &insertSql,
                                   const std::vector<std::string> &bindings) {
  Statement find(db_, "SELECT ID FROM " + table + " WHERE Name=?", {name});
  if (find.step())
    return find.integer(0);
  Statement(db_, insertSql, bindings).step();
  return sqlite3_last_insert_rowid(db_);
}

int64_t HostDatabase::addDevice(const NewDevice &device) {
  if (device.name.empty())
    fail("a device needs a name");
  try {
    exec("BEGIN IMMEDIATE");
    Statement taken(db_, "SELECT ID FROM Device WHERE Name=?", {device.name});
    if (taken.step())
      fail("a device named '" + device.name + "' exists already in table Device");
    Statement translator(db_, "SELECT ID FROM Translator WHERE Name='MX4110_4120'");
    if (!translator.step())
      fail("table Translator has no MX4110_4120 row; recreate the database with 'arxhost init'");
    const std::string translatorId = std::to_string(translator.integer(0));
    const std::string siteId = std::to_string(
        findOrInsert("Site", device.site, "INSERT INTO Site(Name) VALUES(?)", {device.site}));
    const std::string portId = std::to_string(
        findOrInsert("Port", device.port, "INSERT INTO Port(Name,SiteID,Connection) VALUES(?,?,?)",
                     {device.port, siteId, device.connection}));
    const std::string typeId = std::to_string(
        findOrInsert("DeviceType", device.type,
                     "INSERT INTO DeviceType(Name,TranslatorID,MapFile) VALUES(?,?,NULLIF(?,''))",
                     {device.type, translatorId, device.mapFile}));
    Statement(db_,
              "INSERT INTO Device(Name,DeviceTypeID,PortID,Unit,TreeFile,LastUpdate) "
              "VALUES(?,?,?,?,NULLIF(?,''),strftime('%Y-%m-%dT%H:%M:%f','now'))",
              {device.name, typeId, portId, std::to_string(device.unit), device.treeFile})
        .step();
    const int64_t id = sqlite3_last_insert_rowid(db_);
    exec("COMMIT");
    return id;
  } catch (...) {
    sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
}

DeviceEntry HostDatabase::device(const std::string &name) {
  Statement find(db_,
                 "SELECT Device.ID,Device.Name,Translator.ID,Translator.ProtocolID,Translator.Name,"
                 "IFNULL(Port.Name,''),IFNULL(Port.Connection,''),Device.Unit "
                 "FROM Device JOIN DeviceType ON Device.DeviceTypeID=DeviceType.ID "
                 "JOIN Translator ON Translator.ID=DeviceType.TranslatorID "
                 "LEFT JOIN Port ON Port.ID=Device.PortID WHERE Device.Name=?",
                 {name});
  if (!find.step())
    fail("no device named '" + name + "' in table Device (see 'arxhost device list')");
  return {find.integer(0), find.text(1), find.integer(2), find.integer(3),
          find.text(4),    find.text(5), find.text(6),    find.integer(7)};
}

std::vector<std::string> HostDatabase::deviceNames() {
  std::vector<std::string> names;
  Statement all(db_, "SELECT Name FROM Device ORDER BY ID");
  while (all.step())
    names.push_back(all.text(0));
  return names;
}

int64_t HostDatabase::lastLogId() {
  Statement last(db_, "SELECT IFNULL(MAX(ID),0) FROM SystemLog");
  return last.step() ? last.integer(0) : 0;
}

std::vector<LogEntry> HostDatabase::logEntriesAfter(int64_t id) {
  std::vector<LogEntry> entries;
  Statement after(db_,
                  "SELECT ID,Priority,IFNULL(Origin,''),Text FROM SystemLog WHERE ID>? "
                  "ORDER BY ID",
                  {std::to_string(id)});
  while (after.step())
    entries.push_back({after.integer(0), after.integer(1), after.text(2), after.text(3)});
  return entries;
}

} // namespace arxhost
