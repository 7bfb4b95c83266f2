// ChildProcess: a program the test starts itself (the host tool, a Python
// Modbus server), with pipes to its standard input and output, killed if the
// test ends before it has exited.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace arxmod::test {

class ChildProcess {
public:
  // Starts arguments[0] with `arguments`; started() tells whether it did.
  explicit ChildProcess(std::vector<std::string> arguments);
  ~ChildProcess();
  ChildProcess(const ChildProcess &) = delete;
  ChildProcess &operator=(const ChildProcess &) = delete;

  bool started() const { return pid_ > 0; }
  // The next line of its output without the line end, waiting `timeoutMs`
  // at most; what was read so far when it does not come in time.
  std::string readLine(int timeoutMs = 5000);
  // Ends its standard input.
  void closeInput();
  // Sends `signal` and waits `timeoutMs` at most for it to exit: its exit
  // status, 128 + the signal that ended it, or -1 when still running.
  int stop(int signal, int timeoutMs = 5000);
  // Waits for it to exit on its own; as stop().
  int wait(int timeoutMs = 5000);

private:
  pid_t pid_ = -1;
  int input_ = -1;
  int output_ = -1;
};

} // namespace arxmod::test
