// The Modbus level's writes through whole Process calls: values by format,
// refusals that send nothing, masked booleans read and written back with
// the other bits kept, two-message command writes, resets confirmed through
// their check register, and every step of each procedure answered by an
// exception or a timeout: a write never goes out twice for one invocation
// and a failed write is never answered as done.
#include "AccessLog.h"
#include "MeterFixture.h"
#include "TreeBuilder.h"
#include "sim/Fault.h"
#include "sim/MeterBehaviour.h"
#include "tree/RegisterObj.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"

#include <cmath>
#include <limits>

namespace arxmod::test {
namespace {

using sim::RegisterBank;
using sim::Table;

const ModbusEntries entry{"RW"};

PICType *one(MemoryBlob &blob) { return blob.make<UnsignedType>(1u); }
PICType *zero(MemoryBlob &blob) { return blob.make<UnsignedType>(0u); }
PICType *two(MemoryBlob &blob) { return blob.make<UnsignedType>(2u); }
PICType *volts(MemoryBlob &blob) { return blob.make<Float64Type>(123.4); }
PICType *command(MemoryBlob &blob) { return blob.make<UnsignedType>(0x12345678u); }
PICType *fiveThousand(MemoryBlob &blob) { return blob.make<Float64Type>(5000.0); }
PICType *notANumber(MemoryBlob &blob) {
  return blob.make<Float64Type>(std::numeric_limits<double>::quiet_NaN());
}
PICType *delta(MemoryBlob &blob) { return makeString(blob, "DELTA"); }
PICType *star(MemoryBlob &blob) { return makeString(blob, "STAR"); }
PICType *label(MemoryBlob &blob) { return makeString(blob, "ABCD"); }

const std::string kTrue = "true";
const std::string kWrongArgument = "ExceptionType { 3u void }";
const std::string kIllegalAddress = "ExceptionType { 4u void Illegal Data Address }";
const std::string kDeviceFailure = "ExceptionType { 5u void Slave Device Failure }";
// The text form folds the two blanks after "reset." into one.
const std::string kResetFailure =
    "ExceptionType { 3u void Failure to execute reset or invalid password used in reset. Please "
    "check the device instructions. }";

class ModbusWriteTest : public MeterFixture {
protected:
  // A unit without hooks whose `count` holding registers from `offset`
  // hold `fill`, with their traffic logged.
  void holding(uint16_t offset, size_t count, uint16_t fill = 0) {
    meter().withUnit(1, [&](RegisterBank &bank) {
      bank = RegisterBank();
      bank.map(Table::HoldingRegisters, offset, count, fill);
      log_ = logAccesses(bank, Table::HoldingRegisters, offset, count);
    });
  }
  uint16_t holdingValue(uint16_t offset) {
    uint16_t value = 0;
    meter().withUnit(
        1, [&](RegisterBank &bank) { value = bank.get(Table::HoldingRegisters, offset); });
    return value;
  }
  std::vector<LoggedAccess> writes() {
    std::vector<LoggedAccess> found;
    meter().withUnit(1, [&](RegisterBank &) { found = log_->writes(); });
    return found;
  }
  size_t reads() {
    size_t found = 0;
    meter().withUnit(1, [&](RegisterBank &) { found = log_->readCount(); });
    return found;
  }
  void inject(const std::string &fault) { meter().inject(1, sim::parseFaultSpec(fault).fault); }

  std::shared_ptr<AccessLog> log_;
};

TEST_F(ModbusWriteTest, WritesEachFormatAsItsRegistersHoldIt) {
  struct Case {
    std::string name;
    std::string map;
    PICType *(*argument)(MemoryBlob &);
    std::vector<uint16_t> words;
  } cases[] = {
      {"scaled number", entry(0x101, "400101", "UINT16", "Scale='10'"), volts, {1234}},
      {"enumeration text",
       entry(0x101, "400101", "UINT16", "",
             "<Enumeration Value='4W-WYE'/><Enumeration Value='DELTA'/>"),
       delta,
       {1}},
      {"32-bit number", entry(0x101, "400101", "UINT32"), command, {0x1234, 0x5678}},
      {"text", entry(0x101, "400101", "ASCII", "NumberOfRegisters='2'"), label, {0x4142, 0x4344}},
      {"array: WriteValue, not the argument",
       entry(0x101, "400101", "U16-21-ARRAY", "NumberOfRegisters='3' WriteValue='7, -1,,x,300'"),
       volts,
       {7, 0xFFFF, 0, 300}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    const uint16_t device = addDevice(*powerMeterRegisters({{0x101, 23}}), c.map);
    holding(100, 4);
    const uint64_t before = meterRequests();
    EXPECT_EQ(run(device, {{0x101, 22, c.argument}}).results, std::vector<std::string>{kTrue});
    EXPECT_EQ(writes(), (std::vector<LoggedAccess>{{true, 100, c.words}}));
    EXPECT_EQ(meterRequests() - before, 1u);
  }
}

TEST_F(ModbusWriteTest, RefusedWritesSendNothingAndSayWhy) {
  auto tree = powerMeterRegisters({{0x101, 23}, {0x102, 47}, {0x104, 23}});
  auto &bounded = addObject<BoundedObj>(*tree, 0x103, 24, 0x100, "r259");
  bounded.setLabel("Pickup");
  bounded.setBounds(Bounds{1, 3600});
  const uint16_t device =
      addDevice(*tree, entry(0x101, "400101", "UINT16", "",
                             "<Enumeration Value='4W-WYE'/><Enumeration Value='DELTA'/>") +
                           entry(0x102, "400102", "ASCII", "NumberOfRegisters='2'") +
                           entry(0x103, "400104", "UINT16") +
                           entry(0x104, "400105", "UINT16", "Multiplier='0'") +
                           entry(0x105, "400106", "UINT16")); // in the map, not in the tree
  holding(100, 8);
  struct Case {
    std::string name;
    Invocation invocation;
    std::string answer;
  } cases[] = {
      {"out of bounds",
       {0x103, 22, fiveThousand},
       "ExceptionType { 3u void Pickup value 5000.00 is invalid. The values must be in the range "
       "from 1.00 to 3600.00. }"},
      {"NaN out of bounds",
       {0x103, 22, notANumber},
       "ExceptionType { 3u void Pickup value nan is invalid. The values must be in the range "
       "from 1.00 to 3600.00. }"},
      {"unknown enumeration text", {0x101, 22, star}, kWrongArgument},
      {"a number for a text", {0x102, 22, one}, kWrongArgument},
      {"a text for a number", {0x103, 22, delta}, kWrongArgument},
      {"no number at all", {0x101, 22, notANumber}, kWrongArgument},
      {"a scaling that cannot write",
       {0x104, 22, one},
       "ExceptionType { 3u void Multiplier attribute can not be zero for writing requests. }"},
      {"not in the tree", {0x105, 22, one}, kWrongArgument},
  };
  run(device, {{0x101, 21}}); // the meter has answered: no probe follows
  const uint64_t before = meterRequests();
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(run(device, {c.invocation}).results, std::vector<std::string>{c.answer});
    EXPECT_EQ(meterRequests(), before);
  }
}

TEST_F(ModbusWriteTest, ReadOnlyRegisterIsAnsweredByTheTreeWithoutTraffic) {
  const uint16_t device = addDevice(*powerMeterRegisters({{0x101, 23}}),
                                    entry(0x101, "400101", "UINT16", "RequestType='R'"));
  holding(100, 1);
  run(device, {{0x101, 21}});
  EXPECT_EQ(run(device, {{0x101, 22, one}}).results,
            std::vector<std::string>{"ExceptionType { 4u void }"});
  EXPECT_EQ(meterRequests(), 1u); // the read alone
}

TEST_F(ModbusWriteTest, MeterRefusalAndTimeoutAreAnsweredAsFailuresAfterOneRequest) {
  struct Case {
    std::string fault;
    uint8_t replyStatus; // 0 "Good", 2 "Timeout"
    std::vector<std::string> results;
  } cases[] = {
      {"exception:2", 0, {kIllegalAddress}},
      {"exception:4", 0, {kDeviceFailure}},
      {"noreply", 2, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.fault);
    const uint16_t device =
        addDevice(*powerMeterRegisters({{0x101, 23}}), entry(0x101, "400101", "UINT16"));
    holding(100, 1, 7);
    inject(c.fault);
    const uint64_t before = meterRequests();
    const Answer answer = run(device, {{0x101, 22, one}});
    EXPECT_EQ(answer.replyStatus, c.replyStatus);
    EXPECT_EQ(answer.results, c.results);
    EXPECT_EQ(meterRequests() - before, 1u);
    EXPECT_EQ(holdingValue(100), 7u);
  }
}

TEST_F(ModbusWriteTest, WriteOfAValueTheCacheHoldsStillGoesOut) {
  const uint16_t device = addDevice(*powerMeterRegisters({{0x101, 23}}),
                                    entry(0x101, "400101", "UINT16", "CacheSpec='C'"));
  holding(100, 1, 5);
  EXPECT_EQ(run(device, {{0x101, 21}}).results, std::vector<std::string>{"5"});
  EXPECT_EQ(run(device, {{0x101, 22, two}}).results, std::vector<std::string>{kTrue});
  EXPECT_EQ(holdingValue(100), 2u);
}

TEST_F(ModbusWriteTest, MaskedBooleanWriteChangesOnlyItsBits) {
  struct Case {
    std::string format;
    PICType *(*argument)(MemoryBlob &);
    uint16_t before;
    uint16_t after;
  } cases[] = {
      {"MASKEDBOOL", one, 0x00F1, 0x00F5},          {"MASKEDBOOL", zero, 0x00F1, 0x00F1},
      {"MASKEDBOOL", zero, 0xFFFF, 0xFFFB},         {"INVERTEDMASKEDBOOL", one, 0x00F1, 0x00F1},
      {"INVERTEDMASKEDBOOL", zero, 0x00F1, 0x00F5},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.format + " " + std::to_string(c.before));
    const uint16_t device = addDevice(*powerMeterRegisters({{0x101, 21}}),
                                      entry(0x101, "400101", c.format, "Mask='0x0004'"));
    holding(100, 1, c.before);
    EXPECT_EQ(run(device, {{0x101, 22, c.argument}}).results, std::vector<std::string>{kTrue});
    EXPECT_EQ(reads(), 1u);
    EXPECT_EQ(writes(), (std::vector<LoggedAccess>{{true, 100, {c.after}}}));
  }
}

TEST_F(ModbusWriteTest, TwoMaskedWritesToOneRegisterKeepEachOthersBits) {
  const uint16_t device =
      addDevice(*powerMeterRegisters({{0x101, 21}, {0x102, 21}}),
                entry(0x101, "400101", "MASKEDBOOL", "Mask='0x0001'") +
                    entry(0x102, "400101", "INVERTEDMASKEDBOOL", "Mask='0x0100'"));
  holding(100, 1, 0x0100);
  EXPECT_EQ(run(device, {{0x101, 22, one}, {0x102, 22, one}}).results,
            (std::vector<std::string>{kTrue, kTrue}));
  EXPECT_EQ(holdingValue(100), 0x0001u);
  EXPECT_EQ(reads(), 2u);
}

TEST_F(ModbusWriteTest, MaskedBooleanOfAnotherValueEndsTheCallBeforeAnythingIsSent) {
  const uint16_t device = addDevice(*powerMeterRegisters({{0x101, 21}}),
                                    entry(0x101, "400101", "MASKEDBOOL", "Mask='0x0004'"));
  holding(100, 1, 0x00F1);
  EXPECT_FALSE(run(device, {{0x101, 22, two}}).processed);
  EXPECT_EQ(meterDevices().database().text("SELECT Text FROM SystemLog ORDER BY ID DESC LIMIT 1"),
            "ConvertMaskedBooleanWriteValue expects an input value of 1 or 0.");
  EXPECT_EQ(meterRequests(), 0u);
}

// The read comes first: when it fails, nothing is written (the other bits
// would be written from a value the meter never gave).
TEST_F(ModbusWriteTest, MaskedBooleanFailuresAtEachStep) {
  struct Case {
    std::string fault;
    uint8_t replyStatus; // 0 "Good", 2 "Timeout"
    std::vector<std::string> results;
    uint64_t requests;
  } cases[] = {
      {"exception:2,fc=3", 0, {kIllegalAddress}, 1},
      {"noreply,fc=3", 2, {}, 1},
      {"exception:4,fc=16", 0, {kDeviceFailure}, 2},
      {"noreply,fc=16", 2, {}, 2},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.fault);
    const uint16_t device = addDevice(*powerMeterRegisters({{0x101, 21}}),
                                      entry(0x101, "400101", "MASKEDBOOL", "Mask='0x0004'"));
    holding(100, 1, 0x00F1);
    inject(c.fault);
    const uint64_t before = meterRequests();
    const Answer answer = run(device, {{0x101, 22, one}});
    EXPECT_EQ(answer.replyStatus, c.replyStatus);
    EXPECT_EQ(answer.results, c.results);
    EXPECT_EQ(meterRequests() - before, c.requests);
    EXPECT_EQ(holdingValue(100), 0x00F1u);
  }
}

TEST_F(ModbusWriteTest, CommandWriteSendsTheHighWordsFirstAndTheLowWordLast) {
  struct Case {
    std::string format;
    std::string extra;
    std::vector<LoggedAccess> writes;
  } cases[] = {
      {"U32-4321", "NumberOfRegisters='2'", {{true, 101, {0x1234}}, {true, 100, {0x5678}}}},
      {"U64-87-21", "NumberOfRegisters='4'", {{true, 101, {0x1234, 0, 0}}, {true, 100, {0x5678}}}},
      {"UINT16", "", {{true, 100, {0x5678}}}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.format);
    const uint16_t device =
        addDevice(*powerMeterRegisters({{0x101, 23}}),
                  entry(0x101, "400101", c.format, "RequestType='CW' " + c.extra));
    holding(100, 4);
    const uint64_t before = meterRequests();
    EXPECT_EQ(run(device, {{0x101, 22, command}}).results, std::vector<std::string>{kTrue});
    EXPECT_EQ(writes(), c.writes);
    EXPECT_EQ(meterRequests() - before, c.writes.size());
  }
}

TEST_F(ModbusWriteTest, CommandWriteFailuresAtEachStep) {
  struct Case {
    std::string fault;   // the first fault hits the first message
    uint8_t replyStatus; // 0 "Good", 2 "Timeout"
    std::vector<std::string> results;
    uint64_t requests;
    std::vector<LoggedAccess> writes;
  } cases[] = {
      {"exception:3", 0, {"ExceptionType { 5u void Illegal Data Value }"}, 1, {}},
      {"noreply", 2, {}, 1, {}},
      {"exception:4,fc=16", 0, {kDeviceFailure}, 1, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.fault);
    const uint16_t device =
        addDevice(*powerMeterRegisters({{0x101, 23}}),
                  entry(0x101, "400101", "U32-4321", "RequestType='CW' NumberOfRegisters='2'"));
    holding(100, 2);
    inject(c.fault);
    const uint64_t before = meterRequests();
    const Answer answer = run(device, {{0x101, 22, command}});
    EXPECT_EQ(answer.replyStatus, c.replyStatus);
    EXPECT_EQ(answer.results, c.results);
    EXPECT_EQ(meterRequests() - before, c.requests);
    EXPECT_EQ(writes(), c.writes);
  }
  // The low word refused: the high word went out once, the answer is the refusal.
  const uint16_t device =
      addDevice(*powerMeterRegisters({{0x101, 23}}),
                entry(0x101, "400101", "U32-4321", "RequestType='CW' NumberOfRegisters='2'"));
  holding(100, 2);
  meter().withUnit(1, [](RegisterBank &bank) {
    bank.onWrite(Table::HoldingRegisters, 100, 1, [](RegisterBank &, const sim::Access &) {
      return uint8_t{4}; // Slave Device Failure
    });
  });
  const uint64_t before = meterRequests();
  EXPECT_EQ(run(device, {{0x101, 22, command}}).results, std::vector<std::string>{kDeviceFailure});
  EXPECT_EQ(meterRequests() - before, 2u);
}

class ModbusResetTest : public ModbusWriteTest {
protected:
  // A reset entry (1, PASS, 3 at 402101, confirmed by 2 in 402104) on a
  // meter whose reset behaviour `options` gives.
  uint16_t resetDevice(sim::MeterOptions options) {
    meter().withUnit(1, [&](RegisterBank &bank) {
      bank = RegisterBank();
      behaviour_ = sim::addMeterBehaviour(bank, std::move(options));
      bank.setRange(Table::HoldingRegisters, 1100, std::vector<uint16_t>(10, 77));
      log_ = logAccesses(bank, Table::HoldingRegisters, sim::meter::kResetCommand, 4);
    });
    return addDevice(*powerMeterRegisters({{0x101, 21}}),
                     entry(0x101, "402101", "U16-21-ARRAY",
                           "RequestType='CW' NumberOfRegisters='3' WriteValue='1,PASS,3' "
                           "CheckRegister='402104' CheckRegValue='2'"));
  }
  std::shared_ptr<sim::MeterBehaviour> behaviour_;
};

TEST_F(ModbusResetTest, ResetIsConfirmedWhenTheCheckRegisterShowsItsValue) {
  for (unsigned busy : {0u, 1u, 4u}) {
    SCOPED_TRACE(busy);
    const uint16_t device = resetDevice({.resetBusyReads = busy});
    EXPECT_EQ(run(device, {{0x101, 22, one}}).results, std::vector<std::string>{kTrue});
    EXPECT_EQ(writes(), (std::vector<LoggedAccess>{{true, 2100, {1, 0xFFFF, 3}}}));
    EXPECT_EQ(reads(), busy + 1);
    EXPECT_EQ(holdingValue(1100), 0u); // the energies were cleared
  }
}

TEST_F(ModbusResetTest, ResetGivesUpAfterFiveCheckReads) {
  for (const sim::MeterOptions &options :
       {sim::MeterOptions{.password = 1234}, sim::MeterOptions{.resetBusyReads = 5}}) {
    SCOPED_TRACE(options.password);
    const uint16_t device = resetDevice(options);
    EXPECT_EQ(run(device, {{0x101, 22, one}}).results, std::vector<std::string>{kResetFailure});
    EXPECT_EQ(writes().size(), 1u); // the command went out once
    EXPECT_EQ(reads(), 5u);
  }
}

TEST_F(ModbusResetTest, CheckReadThatFailsEndsTheResetAtOnce) {
  const uint16_t device = resetDevice({.resetBusyReads = 1});
  inject("exception:2,fc=3");
  const uint64_t before = meterRequests();
  EXPECT_EQ(run(device, {{0x101, 22, one}}).results, std::vector<std::string>{kResetFailure});
  EXPECT_EQ(meterRequests() - before, 2u); // the command and one check read
}

TEST_F(ModbusResetTest, ResetCommandRefusedOrUnansweredIsNeverConfirmed) {
  struct Case {
    std::string fault;
    uint8_t replyStatus; // 0 "Good", 2 "Timeout"
    std::vector<std::string> results;
  } cases[] = {
      {"exception:4,fc=16", 0, {kResetFailure}},
      {"noreply,fc=16", 2, {}},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.fault);
    const uint16_t device = resetDevice({});
    inject(c.fault);
    const Answer answer = run(device, {{0x101, 22, one}});
    EXPECT_EQ(answer.replyStatus, c.replyStatus);
    EXPECT_EQ(answer.results, c.results);
    EXPECT_EQ(holdingValue(1100), 77u); // nothing was reset
  }
}

} // namespace
} // namespace arxmod::test
