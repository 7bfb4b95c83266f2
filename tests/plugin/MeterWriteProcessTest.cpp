// Writes through the loaded plug-in, answered by the simulated meter with
// the meter's own behaviour: a masked boolean written back with its other
// bits, a bounded value refused without traffic, a command value in two
// messages, and the meter's command procedures with their results. The
// plug-in runs on the real clock, so each result read waits its 100 ms.
#include "AccessLog.h"
#include "MeterPlugin.h"
#include "TreeBuilder.h"
#include "sim/Fault.h"
#include "sim/MeterBehaviour.h"
#include "tree/RegisterObj.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"

#include <gtest/gtest.h>

namespace arxmod::test {
namespace {

using sim::RegisterBank;
using sim::Table;

// The meter's command handles, as the host's tree names them.
constexpr uint32_t kAlarmEnable = 0x09900002;
constexpr uint32_t kAlarmValue = 0x09900004;
constexpr uint32_t kOutputAssignment = 0x09900005;

constexpr uint16_t kBlock = sim::meter::kCommandBlock;
constexpr uint16_t kResult = sim::meter::kCommandResult;

const std::string kTrue = "true";
const std::string kDone = "ExceptionType { 12u void Command successfully executed. }";
const std::string kDeviceFailure = "ExceptionType { 5u void Slave Device Failure }";
// The text form folds the two blanks after "reset." into one.
const std::string kResetFailure =
    "ExceptionType { 3u void Failure to execute reset or invalid password used in reset. Please "
    "check the device instructions. }";

PICType *one(MemoryBlob &blob) { return blob.make<UnsignedType>(1u); }
PICType *command(MemoryBlob &blob) { return blob.make<UnsignedType>(0x12345678u); }
PICType *fiveThousand(MemoryBlob &blob) { return blob.make<Float64Type>(5000.0); }
PICType *yes(MemoryBlob &blob) { return makeString(blob, "Yes"); }
PICType *twelveAndAHalf(MemoryBlob &blob) { return makeString(blob, "12.5"); }
PICType *do1(MemoryBlob &blob) { return makeString(blob, "DO1"); }

// A ModbusInfo element; RequestType is "RW" unless `extra` gives one.
std::string entry(uint32_t handle, const std::string &address, const std::string &format,
                  const std::string &extra = "") {
  const std::string type =
      extra.find("RequestType") == std::string::npos ? " RequestType='RW'" : "";
  return "<ModbusInfo ARXHandle='" + std::to_string(handle) + "' Name='r" + std::to_string(handle) +
         "' ModbusAddress='" + address + "'" + type + " Format='" + format + "' " + extra + "/>";
}

// Module 0x100 with a masked boolean and an inverted one sharing register
// 400101, a command value at 400102-400103, a value bounded to 1..3600 at
// 400104 and the energy reset (1, the password, 3 at 402101, done when
// 402104 reads 2).
IRefPtr<ObjList> writeTree() {
  auto tree = makeRef<ObjList>();
  addObject<ModuleObj>(*tree, 0x100, 500, 2, "Power Meter");
  addObject<RegisterObj>(*tree, 0x101, 21, 0x100, "flag");
  addObject<RegisterObj>(*tree, 0x102, 21, 0x100, "inverted flag");
  addObject<RegisterObj>(*tree, 0x103, 23, 0x100, "command");
  auto &bounded = addObject<BoundedObj>(*tree, 0x104, 24, 0x100, "pickup");
  bounded.setLabel("Pickup");
  bounded.setBounds(Bounds{1, 3600});
  addObject<RegisterObj>(*tree, 0x105, 21, 0x100, "reset energies");
  return tree;
}

const std::string kWriteMap =
    entry(0x101, "400101", "MASKEDBOOL", "Mask='0x0004'") +
    entry(0x102, "400101", "INVERTEDMASKEDBOOL", "Mask='0x0100'") +
    entry(0x103, "400102", "U32-4321", "RequestType='CW' NumberOfRegisters='2'") +
    entry(0x104, "400104", "UINT16") +
    entry(0x105, "402101", "U16-21-ARRAY",
          "RequestType='CW' NumberOfRegisters='3' WriteValue='1,PASS,3' CheckRegister='402104' "
          "CheckRegValue='2'");

// The 22 words of an alarm configuration block.
std::vector<uint16_t> alarmBlock(uint16_t enable, uint16_t high, uint16_t low) {
  std::vector<uint16_t> words{7000, 0, 9, 0, 0, 0, enable, high, low};
  words.resize(22, 0);
  return words;
}

class MeterWriteProcessTest : public ::testing::Test {
protected:
  MeterWriteProcessTest() {
    meter_.addUnit(1, [&](RegisterBank &bank) {
      behaviour_ = sim::addMeterBehaviour(bank);
      bank.map(Table::HoldingRegisters, 100, 4); // 400101..400104
      values_ = logAccesses(bank, Table::HoldingRegisters, 100, 4);
      commands_ = logAccesses(bank, Table::HoldingRegisters, kBlock, 128);
    });
    device_ = meterDevices().add(*writeTree(), kWriteMap);
    run({{0x100, 1}}); // the first call's reads of the meter's labels and mode
  }

  Answer run(const std::vector<Invocation> &program) {
    return callProgram(pluginProcess(), exchange_, device_, program);
  }
  void withMeter(const std::function<void(RegisterBank &)> &work) { meter_.withUnit(1, work); }
  uint16_t holding(uint16_t offset) {
    uint16_t value = 0;
    withMeter([&](RegisterBank &bank) { value = bank.get(Table::HoldingRegisters, offset); });
    return value;
  }
  std::vector<LoggedAccess> valueWrites() {
    std::vector<LoggedAccess> writes;
    withMeter([&](RegisterBank &) { writes = values_->writes(); });
    return writes;
  }
  std::vector<LoggedAccess> commandTraffic() {
    std::vector<LoggedAccess> traffic;
    withMeter([&](RegisterBank &) { traffic = commands_->accesses; });
    return traffic;
  }
  uint64_t requests() const { return meter_.requestCount(1); }

  // One invocation whose step meets `fault`, and what must come of it.
  struct StepFailure {
    std::string fault;
    Invocation invocation;
    uint8_t replyStatus; // 0 "Good", 2 "Timeout"
    std::vector<std::string> results;
    uint64_t requests; // sent in all
  };
  void expectStepFailure(const StepFailure &failure) {
    meter_.inject(1, sim::parseFaultSpec(failure.fault).fault);
    const uint64_t before = requests();
    const Answer answer = run({failure.invocation});
    ASSERT_TRUE(answer.processed);
    EXPECT_EQ(answer.replyStatus, failure.replyStatus);
    EXPECT_EQ(answer.results, failure.results);
    EXPECT_EQ(requests() - before, failure.requests);
  }

  sim::SimulatedMeter meter_;
  sim::SimExchange exchange_{meter_, 1};
  std::shared_ptr<sim::MeterBehaviour> behaviour_;
  std::shared_ptr<AccessLog> values_;
  std::shared_ptr<AccessLog> commands_;
  uint16_t device_ = 0;
};

TEST_F(MeterWriteProcessTest, MaskedBooleanWritesChangeOnlyTheirBits) {
  struct Case {
    uint32_t handle;
    uint16_t before;
    uint16_t after;
  } cases[] = {
      {0x101, 0xF1F1, 0xF1F5}, // MASKEDBOOL 1 sets bit 2
      {0x102, 0xF1F1, 0xF0F1}, // INVERTEDMASKEDBOOL 1 clears bit 8
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.handle);
    withMeter([&](RegisterBank &bank) { bank.set(Table::HoldingRegisters, 100, c.before); });
    const size_t writesBefore = valueWrites().size();
    const uint64_t before = requests();
    EXPECT_EQ(run({{c.handle, 22, one}}).results, std::vector<std::string>{kTrue});
    EXPECT_EQ(holding(100), c.after);
    EXPECT_EQ(requests() - before, 2u); // the read, then the write
    EXPECT_EQ(valueWrites().size() - writesBefore, 1u);
  }
}

TEST_F(MeterWriteProcessTest, BoundedValueOutOfRangeIsRefusedWithoutTraffic) {
  const uint64_t before = requests();
  EXPECT_EQ(run({{0x104, 22, fiveThousand}}).results,
            std::vector<std::string>{"ExceptionType { 3u void Pickup value 5000.00 is invalid. The "
                                     "values must be in the range from 1.00 to 3600.00. }"});
  EXPECT_EQ(requests(), before);
  EXPECT_EQ(holding(103), 0u);
}

TEST_F(MeterWriteProcessTest, CommandValueGoesOutInTwoMessagesWithTheLowWordLast) {
  EXPECT_EQ(run({{0x103, 22, command}}).results, std::vector<std::string>{kTrue});
  EXPECT_EQ(valueWrites(),
            (std::vector<LoggedAccess>{{true, 102, {0x1234}}, {true, 101, {0x5678}}}));
}

TEST_F(MeterWriteProcessTest, MeterCommandsAnswerTheMetersResult) {
  struct Case {
    std::string name;
    Invocation invocation;
    bool outputEnabled;
    unsigned resultDelayReads; // result reads that still see the previous command's
    std::vector<LoggedAccess> traffic;
    std::string answer;
  } cases[] = {
      {"alarm enabled with the value read kept",
       {kAlarmEnable, 22, yes},
       true,
       0,
       {{true, kBlock, alarmBlock(1, 0x4148, 0)}, {false, kResult, {}}},
       kDone},
      {"output assignment refused",
       {kOutputAssignment, 22, do1},
       false,
       0,
       {{true, kBlock, {20000, 0, 0, 0, 0, 0, 1}}, {false, kResult, {}}},
       "ExceptionType { 13u void Digital Output Disabled. }"},
      // The first result read still sees the output assignment's result.
      {"alarm value with the enable bit read kept, the result read once more",
       {kAlarmValue, 22, twelveAndAHalf},
       true,
       1,
       {{true, kBlock, alarmBlock(1, 0x4148, 0)}, {false, kResult, {}}, {false, kResult, {}}},
       kDone},
  };
  withMeter([&](RegisterBank &bank) {
    bank.setRange(Table::HoldingRegisters, sim::meter::kAlarmConfig,
                  std::vector<uint16_t>{0, 0x4148, 0});
  });
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    withMeter([&](RegisterBank &) {
      behaviour_->options.digitalOutputEnabled = c.outputEnabled;
      behaviour_->options.resultDelayReads = c.resultDelayReads;
    });
    const size_t before = commandTraffic().size();
    EXPECT_EQ(run({c.invocation}).results, std::vector<std::string>{c.answer});
    std::vector<LoggedAccess> traffic = commandTraffic();
    traffic.erase(traffic.begin(), traffic.begin() + static_cast<std::ptrdiff_t>(before));
    EXPECT_EQ(traffic, c.traffic);
  }
}

// The reset goes out once; the check register confirms it, or after five
// reads that do not the reset is answered as failed.
TEST_F(MeterWriteProcessTest, ResetIsConfirmedByItsCheckRegisterOrGivenUpAfterFiveReads) {
  struct Case {
    uint16_t password; // the meter's; 0xFFFF: none set
    unsigned busyReads;
    std::string answer;
    size_t checkReads;
    uint16_t energy; // afterwards
  } cases[] = {
      {0xFFFF, 2, kTrue, 3, 0},
      {1234, 0, kResetFailure, 5, 77},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.password);
    std::shared_ptr<AccessLog> resets;
    withMeter([&](RegisterBank &bank) {
      behaviour_->options.password = c.password;
      behaviour_->options.resetBusyReads = c.busyReads;
      bank.setRange(Table::HoldingRegisters, behaviour_->options.energyFirst,
                    std::vector<uint16_t>(behaviour_->options.energyCount, 77));
      resets = logAccesses(bank, Table::HoldingRegisters, sim::meter::kResetCommand, 4);
    });
    EXPECT_EQ(run({{0x105, 22, one}}).results, std::vector<std::string>{c.answer});
    withMeter([&](RegisterBank &) {
      EXPECT_EQ(resets->writes().size(), 1u);
      EXPECT_EQ(resets->readCount(), c.checkReads);
    });
    EXPECT_EQ(holding(behaviour_->options.energyFirst), c.energy);
  }
}

// Each message of a masked boolean write, a command value and a reset
// answered by an exception or by nothing: nothing of the write takes
// effect, no message goes out twice, a timeout ends the call and the
// write is answered as failed.
TEST_F(MeterWriteProcessTest, WriteStepsAnsweredByExceptionsOrNothingEndTheWriteThere) {
  const StepFailure cases[] = {
      {"exception:2,fc=3",
       {0x101, 22, one},
       0,
       {"ExceptionType { 4u void Illegal Data Address }"},
       1},
      {"noreply,fc=3", {0x101, 22, one}, 2, {}, 1},
      {"exception:4,fc=16", {0x101, 22, one}, 0, {kDeviceFailure}, 2},
      {"noreply,fc=16", {0x101, 22, one}, 2, {}, 2},
      {"exception:4,fc=16", {0x103, 22, command}, 0, {kDeviceFailure}, 1},
      {"noreply,fc=16", {0x103, 22, command}, 2, {}, 1},
      // A refused reset is only ever judged by its check register.
      {"exception:4,fc=16", {0x105, 22, one}, 0, {kResetFailure}, 6},
      {"noreply,fc=16", {0x105, 22, one}, 2, {}, 1},
  };
  withMeter([&](RegisterBank &bank) {
    bank.set(Table::HoldingRegisters, 100, 0xF1F1);
    bank.setRange(Table::HoldingRegisters, behaviour_->options.energyFirst,
                  std::vector<uint16_t>(behaviour_->options.energyCount, 77));
  });
  for (const StepFailure &c : cases) {
    SCOPED_TRACE(c.fault + " " + std::to_string(c.invocation.handle));
    expectStepFailure(c);
    EXPECT_EQ(holding(100), 0xF1F1);
    EXPECT_EQ(holding(101), 0u);
    EXPECT_EQ(holding(102), 0u);
    EXPECT_EQ(holding(behaviour_->options.energyFirst), 77u);
  }
}

// Each step of a command answered by an exception or by nothing: the
// command ends there, no step goes out twice, a timeout ends the call, and
// a command is never answered as done. The alarm configuration meets the
// fault at its configuration read and at its block; the output assignment,
// which reads no configuration first, at its result read.
TEST_F(MeterWriteProcessTest, CommandStepsAnsweredByExceptionsOrNothingEndTheCommandThere) {
  struct Case {
    StepFailure failure;
    unsigned commands; // blocks the meter carried out
  } cases[] = {
      {{"exception:2,fc=3",
        {kAlarmEnable, 22, yes},
        0,
        {"ExceptionType { 13u void Illegal Data Address }"},
        1},
       0},
      {{"noreply,fc=3", {kAlarmEnable, 22, yes}, 2, {}, 1}, 0},
      {{"exception:4,fc=16",
        {kAlarmEnable, 22, yes},
        0,
        {"ExceptionType { 13u void Slave Device Failure }"},
        2},
       0},
      {{"noreply,fc=16", {kAlarmEnable, 22, yes}, 2, {}, 2}, 0},
      {{"exception:4,fc=3",
        {kOutputAssignment, 22, do1},
        0,
        {"ExceptionType { 13u void Slave Device Failure }"},
        2},
       1},
      {{"noreply,fc=3", {kOutputAssignment, 22, do1}, 2, {}, 2}, 1},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.failure.fault + " " + std::to_string(c.failure.invocation.handle));
    unsigned commandsBefore = 0;
    withMeter([&](RegisterBank &) { commandsBefore = behaviour_->commands; });
    expectStepFailure(c.failure);
    withMeter(
        [&](RegisterBank &) { EXPECT_EQ(behaviour_->commands - commandsBefore, c.commands); });
  }
}

} // namespace
} // namespace arxmod::test
