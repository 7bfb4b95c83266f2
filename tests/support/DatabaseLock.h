// DatabaseLock: a second connection that holds a SQLite database locked
// until destroyed, as a tool rewriting the host configuration would, so
// that every other connection waits out its busy timeout and fails.
// hostDatabaseFaults: the ways a host database fails, for tests to walk.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace arxmod::test {

class DatabaseLock {
public:
  explicit DatabaseLock(const std::filesystem::path &file) {
    EXPECT_EQ(sqlite3_open(file.c_str(), &db_), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db_, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;", nullptr,
                           nullptr, nullptr),
              SQLITE_OK)
        << sqlite3_errmsg(db_);
  }
  ~DatabaseLock() { sqlite3_close(db_); }
  DatabaseLock(const DatabaseLock &) = delete;
  DatabaseLock &operator=(const DatabaseLock &) = delete;

private:
  sqlite3 *db_ = nullptr;
};

// A host database that cannot serve: a missing file, a file that is no
// database (made in `directory`), or `liveFile` held locked (when `locked`)
// longer than the busy timeout; `reason` is part of the failure's text.
struct HostDatabaseFault {
  const char *name;
  std::filesystem::path file;
  bool locked;
  std::string reason;
};

inline std::vector<HostDatabaseFault> hostDatabaseFaults(const std::filesystem::path &directory,
                                                         const std::filesystem::path &liveFile) {
  const auto missing = directory / "missing.db";
  const auto garbage = directory / "garbage.db";
  std::ofstream(garbage) << std::string(4096, 'x');
  return {
      {"missing file", missing, false, "Host database '" + missing.string() + "'"},
      {"not a database", garbage, false, "file is not a database"},
      {"locked longer than the busy timeout", liveFile, true, "database is locked"},
  };
}

} // namespace arxmod::test
