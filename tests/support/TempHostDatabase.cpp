// Temporary host databases for tests.
#include "TempHostDatabase.h"

#include "host/ConfigDatabase.h"
#include "host/HostSchema.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdexcept>

namespace arxmod::test {

TempHostDatabase::TempHostDatabase() {
  std::string pattern = (std::filesystem::temp_directory_path() / "arxmod-test-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error("cannot create a temporary directory");
  directory_ = pattern;
  file_ = directory_ / "host.db";
  std::filesystem::create_directories(translatorDirectory());
  std::filesystem::create_directories(overrideDirectory());
  createHostDatabase(file_);
  if (sqlite3_open(file_.c_str(), &db_) != SQLITE_OK)
    throw std::runtime_error("cannot open " + file_.string());
  sqlite3_busy_timeout(db_, 5000);
  exec("INSERT INTO HostSetting VALUES('TranslatorDirectory','" + translatorDirectory().string() +
       "/'),('TranslatorOverrideDirectory','" + overrideDirectory().string() +
       "'),('DataDirectory','" + directory_.string() + "')");
  setenv("ARXMOD_HOST_DB", file_.c_str(), 1);
  ConfigDatabase::instance().reset();
}

TempHostDatabase::~TempHostDatabase() {
  sqlite3_close(db_);
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

void TempHostDatabase::exec(const std::string &sql) {
  char *error = nullptr;
  if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
    ADD_FAILURE() << sql << ": " << (error ? error : "?");
    sqlite3_free(error);
  }
}

long long TempHostDatabase::count(const std::string &sql) {
  return std::stoll(text(sql));
}

std::string TempHostDatabase::text(const std::string &sql) {
  sqlite3_stmt *stmt = nullptr;
  std::string result;
  if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &stmt, nullptr) == SQLITE_OK &&
      sqlite3_step(stmt) == SQLITE_ROW && sqlite3_column_text(stmt, 0))
    result = reinterpret_cast<const char *>(sqlite3_column_text(stmt, 0));
  else
    ADD_FAILURE() << sql << ": " << sqlite3_errmsg(db_);
  sqlite3_finalize(stmt);
  return result;
}

} // namespace arxmod::test
