// Temporary host databases for tests.
#include "TempHostDatabase.h"

#include "host/ConfigDatabase.h"
#include "host/HostSchema.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sstream>
#include <stdexcept>

namespace arxmod::test {
namespace {

// One statement on a short-lived connection; `row` receives the first column
// of the first row, when asked for.
void run(const std::filesystem::path &file, const std::string &sql, std::string *row) {
  sqlite3 *db = nullptr;
  if (sqlite3_open(file.c_str(), &db) != SQLITE_OK) {
    ADD_FAILURE() << "cannot open " << file;
    sqlite3_close(db);
    return;
  }
  sqlite3_busy_timeout(db, 5000);
  if (!row) {
    char *error = nullptr;
    if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK)
      ADD_FAILURE() << (error ? error : "") << " in " << sql;
    sqlite3_free(error);
  } else {
    sqlite3_stmt *stmt = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
        sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0))
      *row = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
    else
      ADD_FAILURE() << sqlite3_errmsg(db) << " in " << sql;
    sqlite3_finalize(stmt);
  }
  sqlite3_close(db);
}

} // namespace

TempHostDatabase::TempHostDatabase() {
  std::string pattern = (std::filesystem::temp_directory_path() / "arxmod-test-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error("cannot create a temporary directory");
  directory_ = pattern;
  file_ = directory_ / "host.db";
  createHostDatabase(file_);
  use(file_);
}

TempHostDatabase::~TempHostDatabase() {
  ConfigDatabase::instance().reset();
  unsetenv("ARXMOD_HOST_DB");
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

void TempHostDatabase::use(const std::filesystem::path &path) {
  setenv("ARXMOD_HOST_DB", path.c_str(), 1);
  ConfigDatabase::instance().reset();
}

void TempHostDatabase::exec(const std::string &sql) const { run(file_, sql, nullptr); }

std::string TempHostDatabase::text(const std::string &sql) const {
  std::string result;
  run(file_, sql, &result);
  return result;
}

long long TempHostDatabase::count(const std::string &sql) const {
  const std::string value = text(sql);
  return value.empty() ? -1 : std::stoll(value);
}

void TempHostDatabase::addTranslatorDirectories() const {
  std::filesystem::create_directories(translatorDirectory());
  std::filesystem::create_directories(overrideDirectory());
  exec("INSERT INTO HostSetting VALUES('TranslatorDirectory','" + translatorDirectory().string() +
       "/'),('TranslatorOverrideDirectory','" + overrideDirectory().string() + "')");
}

std::filesystem::path TempHostDatabase::addConsoleFile() const {
  const auto path = directory_ / "console.txt";
  exec("INSERT INTO HostSetting VALUES ('ConsoleFile', '" + path.string() + "')");
  return path;
}

std::string readFile(const std::filesystem::path &path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

} // namespace arxmod::test
