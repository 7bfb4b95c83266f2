// Calls for one meter running side by side: they share its labels, mode,
// change count and synchronisation schedule, and must neither race on them
// (ThreadSanitizer runs this program's ...Concurrent... tests) nor both do
// what only one should: one periodic read and one clock setting per due
// time, and every command answered from its own result.
#include "MeterTranslatorFixture.h"
#include "map/ZoneBias.h"
#include "meter/MX4110_4120Translator.h"
#include "types/ArrayTypes.h"

#include <atomic>
#include <thread>

namespace arxmod::test {
namespace {

using namespace std::chrono_literals;
using sim::RegisterBank;
using sim::Table;

PICType *five(MemoryBlob &blob) { return makeString(blob, "5"); }

class MeterConcurrentTest : public MeterTranslatorFixture {};

TEST_F(MeterConcurrentTest, CallsForOneMeterShareItsStateAndStartEachDutyOnce) {
  XLARX::ScopedZoneBias zone({});
  constexpr int kReaders = 3;
  constexpr int kCalls = 10;
  constexpr int kCommands = 5;
  std::shared_ptr<AccessLog> labels;
  withMeter([&](RegisterBank &bank) {
    bank.set(Table::HoldingRegisters, sim::meter::kMode, 13);
    labels = logAccesses(bank, Table::HoldingRegisters, sim::meter::kCircuitLabels, 15);
  });
  const uint16_t device = addMeterDevice("Feeder 7");
  clock().setWall(utc(2026, 3, 2, 11, 56, 59));
  run(device, {{0x100, 80}}); // the device's first call: labels read, synchronisation scheduled
  clock().setWall(utc(2026, 3, 2, 12, 2, 0)); // the synchronisation is due
  clock().advance(300001ms);                  // and so are the labels

  std::atomic<int> wrongLabels{0};
  std::atomic<int> wrongResults{0};
  const auto reader = [&] {
    for (int i = 0; i < kCalls; ++i) {
      const Answer answer = run(device, {{0x09D00001, 3}, {0x100, 80}});
      if (answer.results.empty() || answer.results[0] != "Current Phase Average@Feeder 7_M01")
        ++wrongLabels;
    }
  };
  // First the readers alone, which find the labels and the clock setting
  // due; then with commands, which the meter's one command interface
  // could not serve beside a clock setting.
  for (const bool withCommands : {false, true}) {
    std::vector<std::thread> threads;
    for (int t = 0; t < kReaders; ++t)
      threads.emplace_back(reader);
    if (withCommands)
      threads.emplace_back([&] {
        for (int i = 0; i < kCommands; ++i)
          if (run(device, {{XLARX::kCommand2008Handle, 22, five}}).results !=
              std::vector<std::string>{"ExceptionType { 12u void Command successfully executed. }"})
            ++wrongResults;
      });
    for (std::thread &thread : threads)
      thread.join();
  }

  EXPECT_EQ(wrongLabels.load(), 0);
  EXPECT_EQ(wrongResults.load(), 0);
  size_t labelReads = 0;
  size_t clockSettings = 0;
  withMeter([&](RegisterBank &) { labelReads = labels->readCount(); });
  for (const LoggedAccess &access : commandTraffic())
    clockSettings += access.write && access.words.front() == 1003;
  EXPECT_EQ(labelReads, 2u);
  EXPECT_EQ(clockSettings, 1u);
  EXPECT_EQ(behaviour().commands, static_cast<unsigned>(kCommands + 1));
}

} // namespace
} // namespace arxmod::test
