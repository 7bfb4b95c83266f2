// HostTestDatabase: a host database in a fresh temporary directory that the
// process's ConfigDatabase is pointed at for the life of the object.
#pragma once

#include <filesystem>
#include <string>

namespace arxmod::test {

class HostTestDatabase {
public:
  HostTestDatabase();
  HostTestDatabase(const HostTestDatabase &) = delete;
  HostTestDatabase &operator=(const HostTestDatabase &) = delete;
  ~HostTestDatabase();

  const std::filesystem::path &directory() const { return directory_; }
  const std::filesystem::path &file() const { return file_; }

  // Runs SQL on a connection of the test's own, as the host tool would.
  void exec(const std::string &sql) const;
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
