// PymodbusServer: the pymodbus server of the interoperability tests
// (pymodbus_server.py), started by the test itself, and the table lines it
// prints when its standard input ends.
//
//   PymodbusServer server;
//   if (!server.skipReason().empty())
//     GTEST_SKIP() << server.skipReason();
//   ... "tcp://127.0.0.1:" + server.port() ...
//   server.closeInput();
//   std::vector<int> coils = tableValues(server.readLine(), "co");
#pragma once

#include "ChildProcess.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace arxmod::test {

class PymodbusServer : public ChildProcess {
public:
  PymodbusServer() : ChildProcess({"/usr/bin/python3", PYMODBUS_SERVER}) {
    if (!started()) {
      skipReason_ = "/usr/bin/python3 cannot be started";
      return;
    }
    port_ = readLine(20000);
    if (port_ == "pymodbus is not installed")
      skipReason_ = "python3-pymodbus is not installed (scripts/install-deps.sh installs it)";
  }

  // Empty when the server runs; then port() is where, empty when it did
  // not start.
  const std::string &skipReason() const { return skipReason_; }
  const std::string &port() const { return port_; }

private:
  std::string port_;
  std::string skipReason_;
};

// The numbers of a table line after its name: "hr 1 2 3" -> {1, 2, 3}.
inline std::vector<int> tableValues(const std::string &line, const std::string &name) {
  std::istringstream in(line);
  std::string first;
  in >> first;
  EXPECT_EQ(first, name) << line;
  std::vector<int> values;
  for (int value = 0; in >> value;)
    values.push_back(value);
  return values;
}

} // namespace arxmod::test
