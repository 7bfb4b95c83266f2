// The host database's schema text and the helpers that create it.
#include "host/HostSchema.h"

#include "base/KSXmsg.h"

#include <sqlite3.h>
#include <string>

namespace arxmod {

namespace {

constexpr std::string_view kSchema = R"sql(
CREATE TABLE Translator  (ID INTEGER PRIMARY KEY, Name TEXT NOT NULL,
                          ProtocolID INTEGER NOT NULL DEFAULT 0, DLL TEXT NOT NULL);
CREATE TABLE DeviceType  (ID INTEGER PRIMARY KEY, Name TEXT NOT NULL,
                          TranslatorID INTEGER NOT NULL REFERENCES Translator(ID),
                          MapFile TEXT);
CREATE TABLE Site        (ID INTEGER PRIMARY KEY, Name TEXT NOT NULL);
CREATE TABLE Port        (ID INTEGER PRIMARY KEY, Name TEXT NOT NULL,
                          SiteID INTEGER REFERENCES Site(ID),
                          Enabled INTEGER NOT NULL DEFAULT 1,
                          Connection TEXT);
CREATE TABLE Device      (ID INTEGER PRIMARY KEY, Name TEXT NOT NULL,
                          DeviceTypeID INTEGER NOT NULL REFERENCES DeviceType(ID),
                          PortID INTEGER REFERENCES Port(ID),
                          Unit INTEGER NOT NULL DEFAULT 1,
                          TreeFile TEXT,
                          Enabled INTEGER NOT NULL DEFAULT 1,
                          CustomProperty1 TEXT,
                          LastUpdate TEXT);
CREATE TABLE HostSetting (Name TEXT PRIMARY KEY, Value TEXT);
CREATE TABLE SystemLog   (ID INTEGER PRIMARY KEY AUTOINCREMENT, Time TEXT NOT NULL,
                          Priority INTEGER NOT NULL, Host TEXT, Origin TEXT,
                          SubOrigin TEXT, Origin2 TEXT, Code INTEGER,
                          Text TEXT NOT NULL);
)sql";

void execute(sqlite3 *db, const char *sql, const std::filesystem::path &path) {
  char *error = nullptr;
  if (sqlite3_exec(db, sql, nullptr, nullptr, &error) != SQLITE_OK) {
    std::string text = "Cannot create host database '" + path.string() +
                       "': " + (error ? error : sqlite3_errmsg(db));
    sqlite3_free(error);
    throw KSXmsg(text);
  }
}

} // namespace

std::string_view hostSchemaText() { return kSchema; }

void createHostSchema(sqlite3 *db) {
  const char *file = sqlite3_db_filename(db, "main");
  execute(db, std::string(kSchema).c_str(), file ? file : "");
}

void createHostDatabase(const std::filesystem::path &path) {
  sqlite3 *db = nullptr;
  const int rc =
      sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  struct Closer {
    sqlite3 *db;
    ~Closer() { sqlite3_close(db); }
  } closer{db};
  if (rc != SQLITE_OK)
    throw KSXmsg("Cannot create host database '" + path.string() + "': " + sqlite3_errstr(rc));
  execute(db, "PRAGMA journal_mode=WAL", path);
  createHostSchema(db);
}

} // namespace arxmod
