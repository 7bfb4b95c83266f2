// Programs of mapped reads through the loaded plug-in, answered by the
// simulated meter behind the exchange callback: fifty values of mixed
// formats, what a new cache answers, timeouts, exception replies and a map
// file changed between two calls.
#include "MeterPlugin.h"
#include "TreeBuilder.h"
#include "sim/Fault.h"
#include "sim/MeterBehaviour.h"
#include "tree/RegisterObj.h"

#include <gtest/gtest.h>

#include <bit>
#include <sstream>

namespace arxmod::test {
namespace {

using sim::RegisterBank;
using sim::Table;

// One mapped value: where the meter keeps it, how the map describes it,
// what the meter holds, and the answer's text form of it.
struct Value {
  uint32_t classNumber;
  Table table;
  std::string format;
  std::string extra; // further ModbusInfo attributes
  std::string children;
  std::vector<uint16_t> words;
  std::string expected;
};

// A double as the answer's text form writes it.
std::string number(double value) {
  std::ostringstream out;
  out.precision(16);
  out << value;
  return out.str();
}

std::vector<uint16_t> halves(uint32_t value) {
  return {static_cast<uint16_t>(value >> 16), static_cast<uint16_t>(value)};
}

// Value `i` of a program of mixed formats: the families of a power meter
// (volts, amperes, powers, energies, power factor, frequency, texts,
// states) in turn, each time with other raw values.
Value mixedValue(int i) {
  const double n = i;
  switch (i % 17) {
  case 0:
    return {23,
            Table::HoldingRegisters,
            "UINT16",
            "Scale='10'",
            "",
            {static_cast<uint16_t>(2300 + 10 * i)},
            number(230 + n)};
  case 1:
    return {23,
            Table::HoldingRegisters,
            "SINT16",
            "Scale='100'",
            "",
            {static_cast<uint16_t>(-(100 * i + 50))},
            number(-(n + 0.5))};
  case 2:
    return {23,
            Table::HoldingRegisters,
            "IEEEFLOAT",
            "",
            "",
            halves(std::bit_cast<uint32_t>(static_cast<float>(n + 0.25))),
            number(n + 0.25)};
  case 3: {
    const auto words = halves(std::bit_cast<uint32_t>(static_cast<float>(-(n + 0.5))));
    return {23, Table::HoldingRegisters, "SWAPPEDFLOAT",    "",
            "", {words[1], words[0]},    number(-(n + 0.5))};
  }
  case 4:
    return {23,
            Table::HoldingRegisters,
            "UINT32",
            "Scale='1000'",
            "",
            halves(static_cast<uint32_t>(1000 * i + 500)),
            number(n + 0.5)};
  case 5:
    return {25,
            Table::HoldingRegisters,
            "SINT32",
            "",
            "",
            halves(static_cast<uint32_t>(-100000 * i)),
            number(-100000 * n)};
  case 6:
    return {23, Table::HoldingRegisters,          "U32-M10K-4321",         "",
            "", {static_cast<uint16_t>(i), 1234}, number(n * 10000 + 1234)};
  case 7:
    return {23,
            Table::HoldingRegisters,
            "S16-1-15",
            "Scale='32768'",
            "",
            {static_cast<uint16_t>(i % 2 ? 0xC000 : 0x4000)},
            i % 2 ? "-0.5" : "0.5"};
  case 8:
    return {25,
            Table::HoldingRegisters,
            "UINT16",
            "Scale='100'",
            "",
            {static_cast<uint16_t>(6000 + 25 * (i % 4))},
            number(60 + 0.25 * (i % 4))};
  case 9:
    return {47,
            Table::HoldingRegisters,
            "ASCII",
            "NumberOfRegisters='2'",
            "",
            {0x4D58, static_cast<uint16_t>(('0' + i / 10) << 8 | ('0' + i % 10))},
            "MX" + std::to_string(i / 10) + std::to_string(i % 10)};
  case 10:
    return {47,
            Table::HoldingRegisters,
            "UINT32",
            "",
            "",
            halves(static_cast<uint32_t>(100000 + i)),
            std::to_string(100000 + i)};
  case 11:
    return {47,
            Table::HoldingRegisters,
            "UINT16",
            "Scale='10'",
            "",
            {static_cast<uint16_t>(1005 + 10 * i)},
            number(100.5 + n)};
  case 12: {
    const char *modes[] = {"4W-WYE", "DELTA", "SINGLE"};
    return {22,
            Table::HoldingRegisters,
            "UINT16",
            "",
            "<Enumeration Value='4W-WYE'/><Enumeration Value='DELTA'/>"
            "<Enumeration Value='SINGLE'/>",
            {static_cast<uint16_t>(i % 3)},
            modes[i % 3]};
  }
  case 13:
    return {21,
            Table::HoldingRegisters,
            "MASKEDBOOL",
            "Mask='0x0004'",
            "",
            {static_cast<uint16_t>(i % 2 ? 0x00F4 : 0x00F1)},
            i % 2 ? "true" : "false"};
  case 14:
    return {23,
            Table::InputRegisters,
            "SINT16",
            "Scale='10'",
            "",
            {static_cast<uint16_t>(200 + i)},
            number((200 + n) / 10)};
  case 15:
    return {21,
            Table::Coils,
            "UINT16",
            "",
            "",
            {static_cast<uint16_t>(i % 2)},
            i % 2 ? "true" : "false"};
  default:
    return {21,
            Table::DiscreteInputs,
            "UINT16",
            "",
            "",
            {static_cast<uint16_t>((i + 1) % 2)},
            (i + 1) % 2 ? "true" : "false"};
  }
}

char classDigit(Table table) {
  switch (table) {
  case Table::Coils:
    return '0';
  case Table::DiscreteInputs:
    return '1';
  case Table::InputRegisters:
    return '3';
  default:
    return '4';
  }
}

std::string entry(uint32_t handle, Table table, uint16_t offset, const std::string &format,
                  const std::string &extra, const std::string &children = "") {
  const std::string type = extra.find("RequestType") == std::string::npos ? " RequestType='R'" : "";
  return "<ModbusInfo ARXHandle='" + std::to_string(handle) + "' Name='v" + std::to_string(handle) +
         "' ModbusAddress='" + classDigit(table) + std::to_string(100001 + offset).substr(1) + "'" +
         type + " Format='" + format + "' " + extra + ">" + children + "</ModbusInfo>";
}

class MeterProcessTest : public ::testing::Test {
protected:
  MeterProcessTest() {
    meter_.addUnit(1, [](RegisterBank &bank) { sim::addMeterBehaviour(bank); });
  }

  Answer run(uint16_t device, const std::vector<Invocation> &program) {
    return callProgram(pluginProcess(), exchange_, device, program);
  }
  // A device's first call may also read what the translator keeps of the
  // meter itself; tests that count the reads of values, or inject faults
  // for them, let such a call (of a tree method only) go first. The
  // meter's request count after it.
  uint64_t afterFirstCall(uint16_t device) {
    run(device, {{0x100, 1}});
    return meter_.requestCount(1);
  }
  void holding(uint16_t offset, std::vector<uint16_t> values) {
    meter_.withUnit(1, [&](RegisterBank &bank) {
      bank.map(Table::HoldingRegisters, offset, values.size());
      bank.setRange(Table::HoldingRegisters, offset, values);
    });
  }
  // Module 0x100 with numeric registers 0x101 onwards.
  static IRefPtr<ObjList> numericTree(uint32_t count) {
    auto list = makeRef<ObjList>();
    addObject<ModuleObj>(*list, 0x100, 500, 2, "Power Meter");
    for (uint32_t handle = 0x101; handle <= 0x100 + count; ++handle)
      addObject<RegisterObj>(*list, handle, 23, 0x100, "r" + std::to_string(handle));
    return list;
  }

  sim::SimulatedMeter meter_;
  sim::SimExchange exchange_{meter_, 1};
};

TEST_F(MeterProcessTest, FiftyMappedValuesOfMixedFormatsAnswerScaledAndTyped) {
  constexpr int kValues = 50;
  auto tree = makeRef<ObjList>();
  addObject<ModuleObj>(*tree, 0x100, 500, 2, "Power Meter");
  std::string map;
  std::vector<Invocation> program;
  std::vector<std::string> expected;
  uint16_t next[4] = {};
  for (int i = 0; i < kValues; ++i) {
    const Value value = mixedValue(i);
    const uint32_t handle = 0x101 + i;
    uint16_t &offset = next[static_cast<int>(value.table)];
    addObject<RegisterObj>(*tree, handle, value.classNumber, 0x100, "v" + std::to_string(i));
    map += entry(handle, value.table, offset, value.format, value.extra, value.children);
    meter_.withUnit(1, [&](RegisterBank &bank) {
      bank.map(value.table, offset, value.words.size());
      bank.setRange(value.table, offset, value.words);
    });
    offset += static_cast<uint16_t>(value.words.size());
    program.push_back({handle, 21});
    expected.push_back(value.expected);
  }
  const uint16_t device = meterDevices().add(*tree, map);
  const uint64_t before = afterFirstCall(device);
  const Answer answer = run(device, program);
  ASSERT_TRUE(answer.processed);
  EXPECT_EQ(answer.packetStatus, 0u);
  EXPECT_EQ(answer.replyStatus, 0);
  EXPECT_EQ(answer.results, expected);
  // One message per register table: the holding registers fit in one read.
  ASSERT_LE(next[static_cast<int>(Table::HoldingRegisters)], 125);
  EXPECT_EQ(meter_.requestCount(1) - before, 4u);
}

TEST_F(MeterProcessTest, NewCacheAnswersNoValueOnlyWhereNoReplyCame) {
  // 0x102 is write-only, so nothing reads it; 0x103 lies where the meter
  // has no register, so its read gets an exception reply.
  const uint16_t device = meterDevices().add(
      *numericTree(3),
      entry(0x101, Table::HoldingRegisters, 0, "UINT16", "CacheSpec='C'") +
          entry(0x102, Table::HoldingRegisters, 1, "UINT16", "CacheSpec='C' RequestType='W'") +
          entry(0x103, Table::HoldingRegisters, 500, "UINT16", "CacheSpec='C'"));
  holding(0, {42, 43});
  const Answer answer = run(device, {{0x101, 21}, {0x102, 21}, {0x103, 21}});
  EXPECT_EQ(answer.replyStatus, 0);
  EXPECT_EQ(answer.results, (std::vector<std::string>{
                                "42", "ExceptionType { 5u void No value received from device. }",
                                "ExceptionType { 4u void Illegal Data Address }"}));
}

TEST_F(MeterProcessTest, MeterTimeoutAnswersTimeoutAndStopsTheCallsRequests) {
  const uint16_t device =
      meterDevices().add(*numericTree(3), entry(0x101, Table::HoldingRegisters, 0, "UINT16", "") +
                                              entry(0x102, Table::InputRegisters, 0, "UINT16", "") +
                                              entry(0x103, Table::Coils, 0, "UINT16", ""));
  holding(0, {1});
  const uint64_t before = afterFirstCall(device);
  meter_.inject(1, sim::parseFaultSpec("noreply").fault);
  const Answer answer = run(device, {{0x101, 21}, {0x102, 21}, {0x103, 21}});
  ASSERT_TRUE(answer.processed);
  EXPECT_EQ(answer.packetStatus, 2u);
  EXPECT_EQ(answer.replyStatus, 2); // "Timeout"
  EXPECT_TRUE(answer.results.empty());
  EXPECT_EQ(meter_.requestCount(1) - before, 1u); // three messages were due
}

TEST_F(MeterProcessTest, ExceptionReplyAnswersEachValueWithItsText) {
  const uint16_t device = meterDevices().add(
      *numericTree(3), entry(0x101, Table::HoldingRegisters, 0, "UINT16", "") +
                           entry(0x102, Table::HoldingRegisters, 1, "UINT16", "Scale='10'") +
                           entry(0x103, Table::HoldingRegisters, 400, "UINT16", ""));
  holding(0, {1, 20});
  holding(400, {3});
  afterFirstCall(device);
  meter_.inject(1, sim::parseFaultSpec("exception:3").fault);
  const std::string refused = "ExceptionType { 5u void Illegal Data Value }";
  EXPECT_EQ(run(device, {{0x101, 21}, {0x102, 21}, {0x103, 21}}).results,
            (std::vector<std::string>{refused, refused, "3"}));
  EXPECT_EQ(run(device, {{0x101, 21}, {0x102, 21}}).results, (std::vector<std::string>{"1", "2"}));
}

TEST_F(MeterProcessTest, ChangedMapFileRebuildsTheCacheAtTheNextCall) {
  const std::string traced = "<Diagnostics EnableTracing='1'/>";
  const uint16_t device = meterDevices().add(
      *numericTree(1), traced + entry(0x101, Table::HoldingRegisters, 7, "UINT16", "CacheSpec='D'"),
      "Feeder 7");
  holding(7, {100});
  EXPECT_EQ(run(device, {{0x101, 21}}).results, (std::vector<std::string>{"100"}));
  const uint64_t afterFirst = meter_.requestCount(1);
  holding(7, {200});
  EXPECT_EQ(run(device, {{0x101, 21}}).results, (std::vector<std::string>{"100"})); // cached
  EXPECT_EQ(meter_.requestCount(1), afterFirst);

  meterDevices().rewriteMap(device, traced + entry(0x101, Table::HoldingRegisters, 7, "UINT16",
                                                   "CacheSpec='D' Scale='10'"));
  EXPECT_EQ(run(device, {{0x101, 21}}).results, (std::vector<std::string>{"20"}));
  EXPECT_EQ(meter_.requestCount(1), afterFirst + 1);
  const std::string console = consoleText();
  const std::string rebuilt = "[Device: Feeder 7] Initialized cache with 1 items.";
  const size_t first = console.find(rebuilt);
  ASSERT_NE(first, std::string::npos) << console;
  EXPECT_NE(console.find(rebuilt, first + 1), std::string::npos) << console;
}

// The first call of a device also reads the meter's circuit labels and
// mode, in messages of their own; the next, within their interval, does not.
TEST_F(MeterProcessTest, FirstCallOfADeviceAlsoReadsTheMetersLabelsAndModeOnce) {
  const uint16_t device =
      meterDevices().add(*numericTree(1), entry(0x101, Table::HoldingRegisters, 0, "UINT16", ""));
  holding(0, {5});
  EXPECT_EQ(run(device, {{0x101, 21}}).results, std::vector<std::string>{"5"});
  EXPECT_EQ(meter_.requestCount(1), 3u); // labels, mode, the value
  EXPECT_EQ(run(device, {{0x101, 21}}).results, std::vector<std::string>{"5"});
  EXPECT_EQ(meter_.requestCount(1), 4u);
}

// A periodic read the meter leaves unanswered fails the call as any other
// read does, and is not made again before its interval has passed.
TEST_F(MeterProcessTest, UnansweredPeriodicReadAnswersTimeoutAndWaitsForItsInterval) {
  const uint16_t device =
      meterDevices().add(*numericTree(1), entry(0x101, Table::HoldingRegisters, 0, "UINT16", ""));
  holding(0, {5});
  meter_.inject(1, sim::parseFaultSpec("noreply").fault);
  const Answer failed = run(device, {{0x101, 21}});
  ASSERT_TRUE(failed.processed);
  EXPECT_EQ(failed.replyStatus, 2); // "Timeout"
  EXPECT_TRUE(failed.results.empty());
  EXPECT_EQ(meter_.requestCount(1), 1u);
  EXPECT_EQ(run(device, {{0x101, 21}}).results, std::vector<std::string>{"5"});
  EXPECT_EQ(meter_.requestCount(1), 2u);
}

// In mode 13 a per-phase quantity's label names the device and the
// circuit; with no circuit labels set in the meter, their defaults.
TEST_F(MeterProcessTest, Mode13LabelsNameTheDeviceAndTheDefaultCircuit) {
  auto tree = makeRef<ObjList>();
  addObject<ModuleObj>(*tree, 0x100, 500, 2, "Power Meter");
  addObject<RegisterObj>(*tree, 0x09D00001, 23, 0x100, "I a").setLabel("Current A");
  const uint16_t device = meterDevices().add(
      *tree,
      "<ModbusInfo ARXHandle='" + std::to_string(0x09D00001) +
          "' Name='Current Phase A' ModbusAddress='400001' RequestType='R' Format='UINT16'/>",
      "Feeder 7");
  meter_.withUnit(
      1, [](RegisterBank &bank) { bank.set(Table::HoldingRegisters, sim::meter::kMode, 13); });
  EXPECT_EQ(run(device, {{0x09D00001, 3}}).results,
            std::vector<std::string>{"Current Phase Average@Feeder 7_M01"});
}

// The power factor register answers whether the current leads or lags.
TEST_F(MeterProcessTest, PowerFactorReadsAsLeadOrLag) {
  constexpr uint32_t kLeadLag = 0x0B200006;
  auto tree = makeRef<ObjList>();
  addObject<ModuleObj>(*tree, 0x100, 500, 2, "Power Meter");
  addObject<RegisterObj>(*tree, kLeadLag, 47, 0x100, "PF Lead Lag");
  const uint16_t device =
      meterDevices().add(*tree, "<ModbusInfo ARXHandle='" + std::to_string(kLeadLag) +
                                    "' Name='PF Lead Lag' ModbusAddress='400011' RequestType='R' "
                                    "Format='IEEEFLOAT'/>");
  struct Case {
    float factor;
    std::string text;
  } cases[] = {{1.2f, "Lead"}, {-1.5f, "Lead"}, {0.8f, "Lag"}, {1.0f, ""}};
  for (const Case &c : cases) {
    SCOPED_TRACE(c.factor);
    const auto bits = std::bit_cast<uint32_t>(c.factor);
    holding(10, {static_cast<uint16_t>(bits >> 16), static_cast<uint16_t>(bits)});
    EXPECT_EQ(run(device, {{kLeadLag, 21}}).results,
              std::vector<std::string>{c.text + std::string(1, '\0')});
  }
}

} // namespace
} // namespace arxmod::test
