// The meter's command writes through whole Process calls: the blocks each
// sends, the result read and its texts, a result read repeated until it
// echoes the command, and every step answered by an exception or a
// timeout: each step goes out at most once, and a command is answered as
// done only when the meter said so.
#include "MeterTranslatorFixture.h"
#include "meter/MX4110_4120Translator.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"

namespace arxmod::test {
namespace {

using sim::RegisterBank;
using sim::Table;
using XLARX::kAlarmEnableHandle;
using XLARX::kAlarmValueHandle;
using XLARX::kCommand2008Handle;
using XLARX::kOutputAssignmentHandle;

PICType *yes(MemoryBlob &blob) { return makeString(blob, "Yes"); }
PICType *twelveAndAHalf(MemoryBlob &blob) { return blob.make<Float64Type>(12.5); }
PICType *twelveAndAHalfText(MemoryBlob &blob) { return makeString(blob, "12.5"); }
PICType *do1(MemoryBlob &blob) { return makeString(blob, "DO1"); }
PICType *none(MemoryBlob &blob) { return makeString(blob, "None"); }
PICType *five(MemoryBlob &blob) { return makeString(blob, "5"); }
PICType *letters(MemoryBlob &blob) { return makeString(blob, "abc"); }

const std::string kDone = "ExceptionType { 12u void Command successfully executed. }";
const std::string kUnknown = "ExceptionType { 13u void Command Result Unknown. }";

constexpr uint16_t kBlock = sim::meter::kCommandBlock;
constexpr uint16_t kResult = sim::meter::kCommandResult;

// The 22 words of an alarm configuration block.
std::vector<uint16_t> alarmBlock(uint16_t enable, uint16_t high, uint16_t low) {
  std::vector<uint16_t> words{7000, 0, 9, 0, 0, 0, enable, high, low};
  words.resize(22, 0);
  return words;
}

class MeterCommandTest : public MeterTranslatorFixture {
protected:
  MeterCommandTest() : device_(addMeterDevice()) {
    run(device_, {{0x100, 80}}); // the first call's periodic reads, out of the way
  }
  void setAlarmConfig(uint16_t flags, uint16_t high, uint16_t low) {
    withMeter([&](RegisterBank &bank) {
      bank.setRange(Table::HoldingRegisters, sim::meter::kAlarmConfig,
                    std::vector<uint16_t>{flags, high, low});
    });
  }
  std::vector<uint16_t> alarmConfig() {
    std::vector<uint16_t> words;
    withMeter([&](RegisterBank &bank) {
      words = bank.range(Table::HoldingRegisters, sim::meter::kAlarmConfig, 3);
    });
    return words;
  }
  // The command traffic from now on.
  std::vector<LoggedAccess> trafficSince(size_t before) {
    std::vector<LoggedAccess> traffic = commandTraffic();
    traffic.erase(traffic.begin(), traffic.begin() + static_cast<std::ptrdiff_t>(before));
    return traffic;
  }

  uint16_t device_;
};

TEST_F(MeterCommandTest, AlarmConfigurationReadsTheConfigurationWritesTheBlockAndReadsTheResult) {
  struct Case {
    std::string name;
    Invocation invocation;
    std::vector<uint16_t> block;
    std::vector<uint16_t> after;
  } cases[] = {
      {"enable: the value read is kept",
       {kAlarmEnableHandle, 22, yes},
       alarmBlock(1, 0x4148, 0x0000),
       {0x0100, 0x4148, 0x0000}},
      {"value as a number: the enable bit read is kept",
       {kAlarmValueHandle, 22, twelveAndAHalf},
       alarmBlock(0, 0x4148, 0x0000),
       {0x0000, 0x4148, 0x0000}},
      {"value as a text",
       {kAlarmValueHandle, 22, twelveAndAHalfText},
       alarmBlock(0, 0x4148, 0x0000),
       {0x0000, 0x4148, 0x0000}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    setAlarmConfig(0x0000, 0x4148, 0x0000);
    const size_t before = commandTraffic().size();
    const uint64_t requests = meterRequests();
    EXPECT_EQ(run(device_, {c.invocation}).results, std::vector<std::string>{kDone});
    EXPECT_EQ(trafficSince(before),
              (std::vector<LoggedAccess>{{true, kBlock, c.block}, {false, kResult, {}}}));
    EXPECT_EQ(meterRequests() - requests, 3u); // configuration, block, result
    EXPECT_EQ(alarmConfig(), c.after);
  }
}

TEST_F(MeterCommandTest, ResultCodesGiveTheirTexts) {
  struct Case {
    bool outputEnabled;
    std::optional<uint16_t> forcedResult; // else the meter's own
    PICType *(*argument)(MemoryBlob &);
    std::vector<uint16_t> block;
    std::string answer;
  } cases[] = {
      {true, {}, do1, {20000, 0, 0, 0, 0, 0, 1}, kDone},
      {true, {}, none, {20000, 0, 0, 0, 0, 0, 0}, kDone},
      {true, {}, yes, {20000, 0, 0, 0, 0, 0, 0}, kDone}, // any other text: none
      {false,
       {},
       do1,
       {20000, 0, 0, 0, 0, 0, 1},
       "ExceptionType { 13u void Digital Output Disabled. }"},
      {true, 3003, do1, {20000, 0, 0, 0, 0, 0, 1}, "ExceptionType { 13u void Invalid Password. }"},
      {true, 4242, do1, {20000, 0, 0, 0, 0, 0, 1}, kUnknown},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.answer);
    resetMeter({.digitalOutputEnabled = c.outputEnabled});
    if (c.forcedResult)
      withMeter([&](RegisterBank &bank) {
        auto &meter = behaviour();
        bank.onWrite(Table::HoldingRegisters, kBlock, 22,
                     [&meter, code = *c.forcedResult](RegisterBank &, const sim::Access &) {
                       meter.pendingResult = std::array<uint16_t, 2>{20000, code};
                       return uint8_t{0};
                     });
      });
    EXPECT_EQ(run(device_, {{kOutputAssignmentHandle, 22, c.argument}}).results,
              std::vector<std::string>{c.answer});
    EXPECT_EQ(commandTraffic(),
              (std::vector<LoggedAccess>{{true, kBlock, c.block}, {false, kResult, {}}}));
  }
}

TEST_F(MeterCommandTest, Command2008CarriesItsParameter) {
  EXPECT_EQ(run(device_, {{kCommand2008Handle, 22, five}}).results,
            std::vector<std::string>{kDone});
  EXPECT_EQ(behaviour().parameter2008, 5);
  EXPECT_EQ(clock().waitedMs(), 100u); // the meter got its 100 ms before the result read
}

TEST_F(MeterCommandTest, ArgumentsThatAreNoNumberAreRefusedBeforeAnythingIsSent) {
  const uint64_t before = meterRequests();
  EXPECT_EQ(
      run(device_, {{kCommand2008Handle, 22, letters}, {kAlarmValueHandle, 22, letters}}).results,
      (std::vector<std::string>{"ExceptionType { 3u void Invalid parameter 'abc'. }",
                                "ExceptionType { 3u void Invalid alarm value 'abc'. }"}));
  EXPECT_EQ(meterRequests() - before, 1u); // the alarm configuration read alone
  EXPECT_EQ(behaviour().commands, 0u);
}

TEST_F(MeterCommandTest, ResultReadIsRepeatedUntilItEchoesTheCommandAndNoMoreThanFiveTimes) {
  struct Case {
    unsigned delay;
    std::string answer;
    size_t resultReads;
  } cases[] = {
      {0, kDone, 1}, {2, kDone, 3}, {4, kDone, 5}, {5, kUnknown, 5}, {1000, kUnknown, 5},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.delay);
    resetMeter({.resultDelayReads = c.delay});
    withMeter([](RegisterBank &bank) {
      bank.setRange(Table::HoldingRegisters, kResult, std::vector<uint16_t>{1234, 0});
    });
    const uint64_t waited = clock().waitedMs();
    EXPECT_EQ(run(device_, {{kCommand2008Handle, 22, five}}).results,
              std::vector<std::string>{c.answer});
    const std::vector<LoggedAccess> traffic = commandTraffic();
    ASSERT_EQ(traffic.size(), 1 + c.resultReads);
    EXPECT_TRUE(traffic.front().write);
    EXPECT_EQ(clock().waitedMs() - waited, 100 * c.resultReads); // 100 ms before each read
  }
}

// A step whose reply is not good ends the command there: the later steps
// are not sent, and the answer says what failed.
TEST_F(MeterCommandTest, FailuresAtEachStepEndTheCommandThere) {
  struct Case {
    std::string fault;
    uint8_t replyStatus;
    std::vector<std::string> results;
    uint64_t requests;
    unsigned commands; // blocks the meter carried out
  } cases[] = {
      {"exception:2,fc=3", 0, {"ExceptionType { 13u void Illegal Data Address }"}, 1, 0},
      {"noreply,fc=3", 2, {}, 1, 0},
      {"exception:4,fc=16", 0, {"ExceptionType { 13u void Slave Device Failure }"}, 2, 0},
      {"noreply,fc=16", 2, {}, 2, 0},
      {"exception:6,fc=3,times=2", 0, {"ExceptionType { 13u void Slave Device Busy }"}, 1, 0},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.fault);
    resetMeter();
    inject(c.fault);
    const uint64_t before = meterRequests();
    const Answer answer = run(device_, {{kAlarmEnableHandle, 22, yes}});
    EXPECT_EQ(answer.replyStatus, c.replyStatus);
    EXPECT_EQ(answer.results, c.results);
    EXPECT_EQ(meterRequests() - before, c.requests);
    EXPECT_EQ(behaviour().commands, c.commands);
  }
  // The result read refused: the command was carried out once, its outcome is not claimed.
  for (const std::string fault : {"exception:4,fc=3", "noreply,fc=3"}) {
    SCOPED_TRACE(fault);
    resetMeter();
    inject(fault);
    const uint64_t before = meterRequests();
    const Answer answer = run(device_, {{kCommand2008Handle, 22, five}});
    EXPECT_EQ(answer.results, fault[0] == 'e' ? std::vector<std::string>{"ExceptionType { 13u "
                                                                         "void Slave Device "
                                                                         "Failure }"}
                                              : std::vector<std::string>{});
    EXPECT_EQ(meterRequests() - before, 2u);
    EXPECT_EQ(behaviour().commands, 1u);
  }
}

TEST_F(MeterCommandTest, TwoCommandsOfOneProgramEachGetTheirOwnResult) {
  resetMeter({.digitalOutputEnabled = false});
  EXPECT_EQ(run(device_, {{kOutputAssignmentHandle, 22, do1},
                          {kCommand2008Handle, 22, five},
                          {kOutputAssignmentHandle, 22, none}})
                .results,
            (std::vector<std::string>{"ExceptionType { 13u void Digital Output Disabled. }", kDone,
                                      kDone}));
  EXPECT_EQ(behaviour().commands, 3u);
}

} // namespace
} // namespace arxmod::test
