// TempHostDatabase: a host configuration database in a fresh temporary
// directory, with translator directories and settings, that the process's
// database client is pointed at. Rows are added with plain SQL.
#pragma once

#include <filesystem>
#include <string>

struct sqlite3;

namespace arxmod::test {

class TempHostDatabase {
public:
  TempHostDatabase();
  TempHostDatabase(const TempHostDatabase &) = delete;
  TempHostDatabase &operator=(const TempHostDatabase &) = delete;
  ~TempHostDatabase();

  const std::filesystem::path &directory() const { return directory_; }
  const std::filesystem::path &file() const { return file_; }
  std::filesystem::path translatorDirectory() const { return directory_ / "translators"; }
  std::filesystem::path overrideDirectory() const { return directory_ / "override"; }

  // Runs SQL on a connection of the test's own; fails the test on error.
  void exec(const std::string &sql);
  long long count(const std::string &sql);
  std::string text(const std::string &sql);

private:
  std::filesystem::path directory_;
  std::filesystem::path file_;
  sqlite3 *db_ = nullptr;
};

} // namespace arxmod::test
