// The host tool's database: opening, creating, device look-ups, settings and
// the system log. The site, port and device tables are in HostTables.cpp.
#include "HostDatabase.h"

#include "SqlStatement.h"
#include "host/HostSchema.h"

#include <sqlite3.h>

#include <algorithm>
#include <utility>

namespace arxhost {
namespace {

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
    : db_(std::exchange(other.db_, nullptr)), lastLogIdQuery_(std::move(other.lastLogIdQuery_)),
      file_(std::move(other.file_)) {}

HostDatabase::~HostDatabase() {
  lastLogIdQuery_.reset(); // a statement left unfinalised would keep the file open
  sqlite3_close(db_);
}

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
    SqlStatement check(database.db_, "SELECT COUNT(*) FROM Device");
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
  SqlStatement(
      database.db_,
      "INSERT INTO Translator(Name,ProtocolID,DLL) VALUES('MX4110_4120',0,'mx4110_4120.so')")
      .step();
  const std::pair<const char *, std::string> settings[] = {
      {"TranslatorDirectory", translators.string()},
      {"TranslatorOverrideDirectory", overrides.string()},
      {"DataDirectory", data.string()}};
  for (const auto &[name, value] : settings)
    SqlStatement(database.db_, "INSERT INTO HostSetting(Name,Value) VALUES(?,?)", {name, value})
        .step();
  return database;
}

DeviceEntry HostDatabase::device(const std::string &name) {
  SqlStatement find(
      db_,
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

std::optional<std::string> HostDatabase::setting(const std::string &name) {
  SqlStatement find(db_, "SELECT IFNULL(Value,'') FROM HostSetting WHERE Name=?", {name});
  if (!find.step())
    return std::nullopt;
  return find.text(0);
}

int64_t HostDatabase::lastLogId() {
  if (!lastLogIdQuery_)
    lastLogIdQuery_ =
        std::make_unique<SqlStatement>(db_, "SELECT IFNULL(MAX(ID),0) FROM SystemLog");
  SqlStatement &last = *lastLogIdQuery_;
  struct ResetAfterUse {
    SqlStatement &statement;
    ~ResetAfterUse() { statement.reset(); }
  } resetAfterUse{last};
  return last.step() ? last.integer(0) : 0;
}

std::vector<LogEntry> HostDatabase::logEntriesAfter(int64_t id, std::optional<size_t> limit) {
  // The last `limit` rows, newest first, turned round below.
  const std::string order = limit ? "DESC LIMIT " + std::to_string(*limit) : "";
  SqlStatement after(db_,
                     "SELECT ID,Time,Priority,IFNULL(Origin,''),IFNULL(SubOrigin,''),"
                     "IFNULL(Code,0),Text FROM SystemLog WHERE ID>? ORDER BY ID " +
                         order,
                     {std::to_string(id)});
  std::vector<LogEntry> entries;
  while (after.step())
    entries.push_back({after.integer(0), after.text(1), after.integer(2), after.text(3),
                       after.text(4), after.integer(5), after.text(6)});
  if (limit)
    std::reverse(entries.begin(), entries.end());
  return entries;
}

} // namespace arxhost
