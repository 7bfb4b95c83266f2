// DatabaseLock: a second connection that holds a SQLite database locked
// until destroyed, as a tool rewriting the host configuration would, so
// that every other connection waits out its busy timeout and fails.
#pragma once

#include <gtest/gtest.h>
#include <sqlite3.h>

#include <filesystem>

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

} // namespace arxmod::test
