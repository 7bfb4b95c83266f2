// Starting, talking to and stopping a child process.
#include "ChildProcess.h"

#include <chrono>
#include <csignal>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace arxmod::test {

ChildProcess::ChildProcess(std::vector<std::string> arguments) {
  int in[2], out[2];
  if (pipe(in) != 0)
    return;
  if (pipe(out) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  for (int fd : {in[0], in[1], out[0], out[1]})
    posix_spawn_file_actions_addclose(&actions, fd);
  std::vector<char *> argv;
  for (std::string &argument : arguments)
    argv.push_back(argument.data());
  argv.push_back(nullptr);
  if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0)
    pid_ = -1;
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  input_ = in[1];
  output_ = out[0];
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  closeInput();
  ::close(output_);
}

std::string ChildProcess::readLine(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::string line;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{output_, POLLIN, 0};
    char c = 0;
    if (left.count() <= 0 || ::poll(&ready, 1, static_cast<int>(left.count())) != 1 ||
        ::read(output_, &c, 1) != 1 || c == '\n')
      return line;
    line += c;
  }
}

void ChildProcess::closeInput() {
  if (input_ >= 0)
    ::close(input_);
  input_ = -1;
}

int ChildProcess::stop(int signal, int timeoutMs) {
  if (pid_ > 0)
    ::kill(pid_, signal);
  return wait(timeoutMs);
}

int ChildProcess::wait(int timeoutMs) {
  for (int waited = 0; pid_ > 0 && waited <= timeoutMs; waited += 10) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return -1;
}

} // namespace arxmod::test
