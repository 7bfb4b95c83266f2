// HostTestDatabase: temporary host databases for the host-service tests.
#include "HostTestDatabase.h"

#include "host/ConfigDatabase.h"
#include "host/HostSchema.h"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sstream>

namespace arxmod::test {

HostTestDatabase::HostTestDatabase() {
  std::string pattern = (std::filesystem::temp_directory_path() / "arxmod-host-XXXXXX").string();
  if (!mkdtemp(pattern.data()))
    throw std::runtime_error("mkdtemp failed");
  directory_ = pattern;
  file_ = directory_ / "host.db";
  createHostDatabase(file_);
  use(file_);
}

HostTestDatabase::~HostTestDatabase() {
  ConfigDatabase::instance().reset();
  unsetenv("ARXMOD_HOST_DB");
  std::error_code ignored;
  std::filesystem::remove_all(directory_, ignored);
}

void HostTestDatabase::use(const std::filesystem::path &path) {
  setenv("ARXMOD_HOST_DB", path.c_str(), 1);
  ConfigDatabase::instance().reset();
}

void HostTestDatabase::exec(const std::string &sql) const {
  sqlite3 *db = nullptr;
  ASSERT_EQ(sqlite3_open(file_.c_str(), &db), SQLITE_OK);
  sqlite3_busy_timeout(db, 5000);
  char *error = nullptr;
  const int rc = sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &error);
  EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "") << " in " << sql;
  sqlite3_free(error);
  sqlite3_close(db);
}

std::filesystem::path HostTestDatabase::addConsoleFile() const {
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
