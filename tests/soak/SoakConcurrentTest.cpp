// The soak: sixteen threads call Process for fifty devices, each served by
// a simulated meter of its own, with reads, setpoint writes and meter
// commands, while the calculation engines run every device's modules, the
// data recorders fill their logs and the save thread writes them, map and
// tree files are replaced, the meters drop, delay, cut and garble replies
// and the log directory turns full or read-only for a while. Every value
// an answer carries must be one the meter held at some moment; no call may
// fail; and when the faults clear, every device answers again and every
// data log file is whole.
//
// It runs on the wall clock for ARXMOD_SOAK_SECONDS seconds (5 without),
// since it measures real concurrency and waits for no rate.
#include "DataLogFile.h"
#include "SoakMeters.h"

#include "files/FileManager.h"
#include "frame/EngineSelection.h"
#include "frame/ProcessCall.h"
#include "host/Console.h"
#include "logs/LogBuffer.h"
#include "logs/LogFileIo.h"
#include "meter/MX4110_4120Translator.h"
#include "modules/EnginePool.h"
#include "sim/Fault.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <mutex>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

namespace arxmod::test::soak {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

constexpr int kDevices = 50;
constexpr int kCallers = 16;
const std::string kDone = "ExceptionType { 12u void Command successfully executed. }";

std::chrono::seconds soakDuration() {
  const char *text = std::getenv("ARXMOD_SOAK_SECONDS");
  const long seconds = text ? std::strtol(text, nullptr, 10) : 0;
  return std::chrono::seconds(seconds > 0 ? seconds : 5);
}

template <size_t N> PICType *setpoint(MemoryBlob &blob) {
  return blob.make<Float64Type>(kSetpointFirst + N);
}
template <size_t... N> constexpr auto setpointArguments(std::index_sequence<N...>) {
  return std::array{&setpoint<N>...};
}
constexpr auto kSetpoints = setpointArguments(std::make_index_sequence<kSetpointCount>());

PICType *commandParameter(MemoryBlob &blob) { return makeString(blob, "5"); }

// Log writes that fail the way a full disk or a read-only directory does
// while `error` is set.
class FailingDisk : public LogWriteSeam {
public:
  std::atomic<int> error{0};
  std::atomic<uint64_t> refused{0}; // opens and writes that failed

  int openFile(const std::filesystem::path &path, int flags, int &fd) override {
    if (const int failing = error; failing && (flags & (O_WRONLY | O_RDWR)))
      return refuse(failing);
    return LogWriteSeam::openFile(path, flags, fd);
  }
  int writeAt(int fd, std::span<const uint8_t> bytes, uint64_t offset) override {
    if (const int failing = error)
      return refuse(failing);
    return LogWriteSeam::writeAt(fd, bytes, offset);
  }

private:
  int refuse(int failing) {
    ++refused;
    return failing;
  }
};

// The meter faults injected at random, in the text form of sim/Fault.h.
const std::array<const char *, 7> kMeterFaults = {"noreply", "delay:20", "delay:5000", "cut",
                                                  "cut:2",   "function", "exception:4"};

struct Counts {
  std::atomic<uint64_t> calls{0}, refused{0}, timeouts{0}, reads{0}, heldValues{0}, notAvailable{0},
      wrongValues{0}, writes{0}, writesDone{0}, commands{0}, commandsDone{0}, counterSteps{0},
      mapReplacements{0}, treeReplacements{0}, diskFaults{0};
  std::array<std::atomic<uint64_t>, kMeterFaults.size()> meterFaults{};
  std::mutex firstWrongLock;
  std::string firstWrong;

  void wrong(const std::string &what) {
    ++wrongValues;
    std::lock_guard lock(firstWrongLock);
    if (firstWrong.empty())
      firstWrong = what;
  }
};

class SoakConcurrentTest : public ::testing::Test {
protected:
  SoakConcurrentTest() {
    FileManager::instance().setRecheckInterval(0);
    installDeviceTranslatorMaker(&XLARX::makeMX4110_4120Translator);
    // What the faults make the plug-in say goes to the console file, not
    // into the test's output.
    installConsole();
  }
  ~SoakConcurrentTest() override { uninstallConsole(); }

  // One call; its answer when it carries results to check. A call that a
  // garbled reply ended (Process false) and a timeout's answer (no results,
  // packet and reply status 2) carry none.
  std::optional<Answer> call(int index, const std::vector<Invocation> &program) {
    ++counts_.calls;
    Answer answer =
        callProgram(&processCall, meters_.exchange(index), meters_.device(index), program);
    if (!answer.processed) {
      ++counts_.refused;
      return std::nullopt;
    }
    if (answer.packetStatus == 0 && answer.replyStatus == 0 &&
        answer.results.size() == program.size())
      return answer;
    if (answer.packetStatus == 2 && answer.replyStatus == 2 && answer.results.empty())
      ++counts_.timeouts;
    else
      counts_.wrong("an answer with " + std::to_string(answer.results.size()) +
                    " results, packet status " + std::to_string(answer.packetStatus) +
                    " and reply status " + std::to_string(answer.replyStatus));
    return std::nullopt;
  }

  void tally(int index, Verdict verdict, const std::string &what, const std::string &text) {
    if (verdict == Verdict::Held)
      ++counts_.heldValues;
    else if (verdict == Verdict::NotAvailable)
      ++counts_.notAvailable;
    else
      counts_.wrong("device " + std::to_string(meters_.device(index)) + " " + what + ": " + text);
  }

  void read(int index) {
    ++counts_.reads;
    const auto answer = call(index, {{kCounter, 21}, {kMinimum, 21}, {kSetpoint, 21}});
    if (!answer)
      return;
    tally(index, meters_.checkCounter(index, answer->results[0]), "counter", answer->results[0]);
    tally(index, meters_.checkCounter(index, answer->results[1]), "minimum", answer->results[1]);
    tally(index, meters_.checkSetpoint(answer->results[2]), "setpoint", answer->results[2]);
  }

  void write(int index, size_t value) {
    ++counts_.writes;
    const auto answer = call(index, {{kSetpoint, 22, kSetpoints.at(value)}});
    if (answer && answer->results[0] == "true")
      ++counts_.writesDone;
  }

  void command(int index) {
    ++counts_.commands;
    const auto answer = call(index, {{XLARX::kCommand2008Handle, 22, commandParameter}});
    if (answer && answer->results[0] == kDone)
      ++counts_.commandsDone;
  }

  void caller(unsigned seed, Clock::time_point end) {
    std::mt19937 random(seed);
    while (Clock::now() < end) {
      const int index = static_cast<int>(random() % kDevices);
      const unsigned kind = random() % 20;
      if (kind < 14)
        read(index);
      else if (kind < 19)
        write(index, random() % kSetpointCount);
      else
        command(index);
    }
  }

  void counterStepper(Clock::time_point end) {
    while (Clock::now() < end) {
      for (int i = 0; i < kDevices; ++i)
        meters_.stepCounter(i);
      ++counts_.counterSteps;
      std::this_thread::sleep_for(40ms);
    }
  }

  // One fault for every kCallsPerFault calls, so that most calls still
  // carry values to check however fast the build runs them.
  void meterFaults(Clock::time_point end) {
    constexpr uint64_t kCallsPerFault = 20;
    std::mt19937 random(99);
    for (uint64_t next = kCallsPerFault; Clock::now() < end;) {
      if (counts_.calls < next) {
        std::this_thread::sleep_for(1ms);
        continue;
      }
      const size_t kind = random() % kMeterFaults.size();
      meters_.meter().inject(meters_.unit(static_cast<int>(random() % kDevices)),
                             sim::parseFaultSpec(kMeterFaults[kind]).fault);
      ++counts_.meterFaults[kind];
      next += kCallsPerFault;
    }
  }

  // One second in three the disk is full, one in three read-only.
  void diskFaults(Clock::time_point end) {
    int step = 0;
    while (Clock::now() < end) {
      const int error = std::array{0, ENOSPC, EROFS}[step++ % 3];
      disk_.error = error;
      if (error)
        ++counts_.diskFaults;
      std::this_thread::sleep_for(1s);
    }
    disk_.error = 0;
  }

  void fileReplacer(Clock::time_point end) {
    std::mt19937 random(7);
    for (int round = 0; Clock::now() < end; ++round) {
      const int index = static_cast<int>(random() % kDevices);
      if (round % 3 == 2) {
        meters_.replaceTree(index);
        ++counts_.treeReplacements;
      } else {
        meters_.replaceMap(index, round);
        ++counts_.mapReplacements;
      }
      std::this_thread::sleep_for(100ms);
    }
  }

  static std::filesystem::path consoleFile() {
    return meterDevices().database().directory() / "console.txt";
  }

  // The first console error lines since the fixture began that no injected
  // fault explains.
  std::string unexplainedErrors() const {
    constexpr int kShown = 5;
    static const char *const kExplained[] = {
        " Invalid Modbus response - Could not decode. Response: (",
        " Invalid Modbus response - No Function Code",
        " Mismatched Modbus function class]",
        "No space left on device",
        "Read-only file system",
    };
    std::istringstream console(readFile(consoleFile()).substr(consoleBefore_));
    std::string unexplained;
    int shown = 0;
    for (std::string line; shown < kShown && std::getline(console, line);) {
      if (line.rfind("[ERROR", 0) != 0 && line.rfind("[CRITICAL", 0) != 0)
        continue;
      if (std::none_of(std::begin(kExplained), std::end(kExplained),
                       [&](const char *text) { return line.find(text) != std::string::npos; })) {
        unexplained += line + "\n";
        ++shown;
      }
    }
    return unexplained;
  }

  void printCounts(std::chrono::seconds duration) {
    std::printf("soak of %lld s: %" PRIu64 " Process calls (%" PRIu64 " refused, %" PRIu64
                " timed out), %" PRIu64 " reads, %" PRIu64 " writes (%" PRIu64 " done), %" PRIu64
                " commands (%" PRIu64 " done), %" PRIu64 " values checked held, %" PRIu64
                " not available, %" PRIu64 " wrong; %" PRIu64 " meter requests, %" PRIu64
                " counter sweeps, %" PRIu64 " map and %" PRIu64 " tree files replaced, %" PRIu64
                " disk faults (%" PRIu64 " log writes refused)\n",
                static_cast<long long>(duration.count()), counts_.calls.load(),
                counts_.refused.load(), counts_.timeouts.load(), counts_.reads.load(),
                counts_.writes.load(), counts_.writesDone.load(), counts_.commands.load(),
                counts_.commandsDone.load(), counts_.heldValues.load(), counts_.notAvailable.load(),
                counts_.wrongValues.load(), meters_.meterRequests(), counts_.counterSteps.load(),
                counts_.mapReplacements.load(), counts_.treeReplacements.load(),
                counts_.diskFaults.load(), disk_.refused.load());
    for (size_t kind = 0; kind < kMeterFaults.size(); ++kind)
      std::printf("  meter fault %-12s injected %" PRIu64 " times\n", kMeterFaults[kind],
                  counts_.meterFaults[kind].load());
  }

  SoakMeters meters_{kDevices};
  const size_t consoleBefore_ = readFile(consoleFile()).size();
  FailingDisk disk_;
  Counts counts_;
};

TEST_F(SoakConcurrentTest, CallsEnginesSavesFileChangesAndFaultsKeepEveryValueHeld) {
  const std::chrono::seconds duration = soakDuration();
  {
    ScopedLogWriteSeam failing(disk_);
    const Clock::time_point end = Clock::now() + duration;
    std::vector<std::jthread> threads;
    for (unsigned t = 0; t < kCallers; ++t)
      threads.emplace_back([this, t, end] { caller(t + 1, end); });
    threads.emplace_back([this, end] { counterStepper(end); });
    threads.emplace_back([this, end] { meterFaults(end); });
    threads.emplace_back([this, end] { diskFaults(end); });
    threads.emplace_back([this, end] { fileReplacer(end); });
  }
  printCounts(duration);
  // Only a garbled reply ends a call, and every error the console shows is
  // one a fault explains.
  EXPECT_LE(counts_.refused,
            counts_.meterFaults[3] + counts_.meterFaults[4] + counts_.meterFaults[5]);
  EXPECT_EQ(unexplainedErrors(), "");
  EXPECT_EQ(counts_.wrongValues, 0u) << counts_.firstWrong;
  EXPECT_GT(counts_.heldValues, 0u);

  // The faults cleared, every device answers from its meter again, and a
  // setpoint written is the one read back.
  for (int i = 0; i < kDevices; ++i) {
    SCOPED_TRACE(meters_.device(i));
    meters_.meter().clearFaults(meters_.unit(i));
    const size_t setpointIndex = static_cast<size_t>(i) % kSetpointCount;
    const Answer answer = callProgram(
        &processCall, meters_.exchange(i), meters_.device(i),
        {{kSetpoint, 22, kSetpoints.at(setpointIndex)}, {kCounter, 21}, {kSetpoint, 21}});
    ASSERT_EQ(answer.results.size(), 3u);
    EXPECT_EQ(answer.results[0], "true");
    EXPECT_EQ(meters_.checkCounter(i, answer.results[1]), Verdict::Held) << answer.results[1];
    EXPECT_EQ(answer.results[2], std::to_string(kSetpointFirst + setpointIndex));
  }

  // The last save, after the engines stopped: every data log file is whole
  // and records only counter values the meter held.
  stopCalculationEngines();
  shutdownLogBuffer();
  uint64_t records = 0;
  for (int i = 0; i < kDevices; ++i) {
    SCOPED_TRACE(meters_.device(i));
    char name[32];
    std::snprintf(name, sizeof name, "%08x%08x.arx", unsigned{meters_.device(i)}, kDataLog);
    const auto file = XLARX::LogBuffer::defaultDirectory() / name;
    if (!std::filesystem::exists(file))
      continue; // a device whose recorder got no trigger in a short soak
    const DataLogContent log = readDataLog(file);
    EXPECT_EQ(log.fault, "");
    for (const LoggedRecord &record : log.records) {
      ASSERT_FALSE(record.values.empty());
      const LoggedValue &counter = record.values[0];
      EXPECT_TRUE(counter.type == kNotAvailableValue || meters_.heldCounter(i, counter.value))
          << "record " << record.sequence << " holds " << counter.value;
    }
    records += log.records.size();
  }
  std::printf("  %" PRIu64 " data log records checked\n", records);
  EXPECT_GT(records, 0u);
}

} // namespace
} // namespace arxmod::test::soak
