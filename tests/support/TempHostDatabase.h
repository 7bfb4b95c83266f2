// TempHostDatabase: a host configuration database in a fresh temporary
// directory, which the process's database client is pointed at for the
// life of the object. Rows are added with plain SQL on a connection of the
// test's own, as the host tool would.
#pragma once

#include <filesystem>
#include <string>

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

  // Runs SQL; a failure fails the test.
  void exec(const std::string &sql) const;
  // The first column of the first row as text or as a number.
  std::string text(const std::string &sql) const;
  long long count(const std::string &sql) const;

  // Creates the two translator directories and the settings naming them
  // (the shipped one with a trailing "/", as operators write it).
  void addTranslatorDirectories() const;
  // Sets the ConsoleFile host setting to console.txt in the directory and
  // returns that path.
  std::filesystem::path addConsoleFile() const;
  // Points ARXMOD_HOST_DB at `path` and resets the client.
  static void use(const std::filesystem::path &path);

private:
  std::filesystem::path directory_;
  std::filesystem::path file_;
};

// The whole content of a file; empty when it does not exist.
std::string readFile(const std::filesystem::path &path);

} // namespace arxmod::test
