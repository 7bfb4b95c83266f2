// Restarts in new processes: records appended by one process are restored by
// the next; and a process that appends and saves is killed with SIGKILL at
// random moments, after which a new process must restore every log: no
// refused file, every record whole and right, positions never going back.
#include "LogTestSupport.h"
#include "logs/LogBuffer.h"
#include "types/StructureArrays.h"

#include <csignal>
#include <poll.h>
#include <random>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char **environ;

namespace arxmod {
namespace {

constexpr int kKills = 55;

// A helper process with its standard output on a pipe.
class Helper {
public:
  explicit Helper(std::vector<std::string> arguments) {
    int out[2];
    if (pipe(out) != 0)
      throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    arguments.insert(arguments.begin(), ARXMOD_LOGS_CRASH_HELPER);
    std::vector<char *> argv;
    for (std::string &argument : arguments)
      argv.push_back(argument.data());
    argv.push_back(nullptr);
    const int error = posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    output_ = out[0];
    if (error)
      throw std::runtime_error("posix_spawn " + std::string(ARXMOD_LOGS_CRASH_HELPER));
  }
  ~Helper() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(output_);
  }

  // The next line of output, waiting at most `timeout`; empty at the end.
  std::string line(std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    std::string text;
    char c;
    pollfd ready{output_, POLLIN, 0};
    while (poll(&ready, 1, static_cast<int>(timeout.count())) > 0 && read(output_, &c, 1) == 1 &&
           c != '\n')
      text.push_back(c);
    return text;
  }
  // Waits for the process; its exit status, or -1 when a signal ended it.
  int wait() {
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }
  void killNow() { kill(pid_, SIGKILL); }

private:
  pid_t pid_ = -1;
  int output_ = -1;
};

class CrashTest : public test::LogTest {};

TEST_F(CrashTest, RecordsAppendedByAnotherProcessAreRestored) {
  Helper writer({"append", logs_.string(), "57"});
  ASSERT_EQ(writer.wait(), 0);
  IRefPtr<ObjList> objects = test::makeLogTree(50);
  TranslationTreeReader tree(objects);
  XLARX::LogBuffer logs(logs_);
  EXPECT_EQ(logs.GetLogPosition(test::kDevice, test::kDataLog, tree), 57u);
  MemoryBlob blob(64 * 1024);
  auto *records =
      picCast<LogArrayType>(logs.GetLogs(test::kDevice, test::kDataLog, tree, nullptr, blob));
  ASSERT_EQ(records->structureCount(), 50u);
  EXPECT_EQ(records->at(0)->recordNumber(), 7u);
  EXPECT_EQ(picCast<NumericType>(records->at(49)->values()->at(0))->asDouble(), 1.5 * 56);
}

TEST_F(CrashTest, LogsSavedAtProcessExitAreWrittenWhole) {
  Helper writer({"exit", logs_.string(), "12"});
  ASSERT_EQ(writer.wait(), 0) << "the save at exit failed or touched destroyed state";
  IRefPtr<ObjList> objects = test::makeLogTree(50);
  TranslationTreeReader tree(objects);
  XLARX::LogBuffer logs(logs_ / "translators" / "logs");
  EXPECT_EQ(logs.GetLogPosition(test::kDevice, test::kDataLog, tree), 12u);
  MemoryBlob blob(64 * 1024);
  auto *records =
      picCast<LogArrayType>(logs.GetLogs(test::kDevice, test::kDataLog, tree, nullptr, blob));
  ASSERT_EQ(records->structureCount(), 12u);
  EXPECT_EQ(picCast<NumericType>(records->at(11)->values()->at(0))->asDouble(), 1.5 * 11);
}

TEST_F(CrashTest, KilledWritersLeaveEveryLogRestorable) {
  std::mt19937 random(4242);
  uint32_t lastData = 0, lastEvent = 0;
  // Each writer first restores and checks what the killed one left.
  auto check = [&](const std::string &report) {
    unsigned data = 0, event = 0;
    ASSERT_EQ(std::sscanf(report.c_str(), "data %u event %u", &data, &event), 2) << report;
    EXPECT_GE(data, lastData);
    EXPECT_GE(event, lastEvent);
    lastData = data;
    lastEvent = event;
  };
  for (int kill = 0; kill < kKills; ++kill) {
    SCOPED_TRACE("kill " + std::to_string(kill));
    Helper writer({"write", logs_.string(), std::to_string(kill)});
    ASSERT_NO_FATAL_FAILURE(check(writer.line()));
    ASSERT_EQ(writer.line(), "ready");
    // The moment of the kill is what this test varies, so it waits real time.
    std::this_thread::sleep_for(
        std::chrono::microseconds(std::uniform_int_distribution<int>(0, 20000)(random)));
    writer.killNow();
    ASSERT_EQ(writer.wait(), -1);
  }
  Helper verifier({"verify", logs_.string()});
  const std::string report = verifier.line();
  ASSERT_EQ(verifier.wait(), 0) << report;
  check(report);
  EXPECT_GT(lastData, 0u);
  EXPECT_GT(lastEvent, 0u);
}

} // namespace
} // namespace arxmod
