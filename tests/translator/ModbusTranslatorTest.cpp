// The Modbus level through whole Process calls: values of every format
// family scaled and typed by the object's class, the messages a program's
// reads become, exception and timeout replies, and the refusals of
// mappings that do not fit their register.
#include "MeterFixture.h"
#include "TreeBuilder.h"
#include "sim/Fault.h"
#include "tree/RegisterObj.h"
#include "types/ArrayTypes.h"
#include "types/NumericTypes.h"

namespace arxmod::test {
namespace {

using sim::RegisterBank;
using sim::Table;

const ModbusEntries entry{"R"};

class ModbusTranslatorTest : public MeterFixture {
protected:
  void holding(uint16_t offset, std::vector<uint16_t> values) {
    meter().withUnit(1, [&](RegisterBank &bank) {
      bank.map(Table::HoldingRegisters, offset, values.size());
      bank.setRange(Table::HoldingRegisters, offset, values);
    });
  }
};

TEST_F(ModbusTranslatorTest, ReadsEveryFormatFamilyScaledAndTypedInOneMessage) {
  const auto tree = powerMeterRegisters({{0x101, 23},
                                         {0x102, 23},
                                         {0x103, 23},
                                         {0x104, 23},
                                         {0x105, 23},
                                         {0x106, 23},
                                         {0x107, 47},
                                         {0x108, 22},
                                         {0x109, 21},
                                         {0x10A, 21},
                                         {0x10B, 47},
                                         {0x10C, 47},
                                         {0x10D, 25}});
  const std::string map =
      entry(0x101, "400101", "UINT16", "Scale='10'") +          // volts
      entry(0x102, "400102", "SINT16", "Scale='100'") +         // amps, negative
      entry(0x103, "400103", "IEEEFLOAT") +                     // kW
      entry(0x104, "400105", "U32-M10K-4321", "Scale='1000'") + // kWh
      entry(0x105, "400107", "S16-1-15", "Scale='32768'") +     // power factor
      entry(0x106, "400108", "UINT16", "ModbusMin='0' ModbusMax='65535' ARXMin='45' ARXMax='65'") +
      entry(0x107, "400109", "ASCII", "NumberOfRegisters='4'") + // meter name
      entry(0x108, "400113", "UINT16", "",
            "<Enumeration Value='4W-WYE'/><Enumeration Value='DELTA'/>") +
      entry(0x109, "400114", "MASKEDBOOL", "Mask='0x0030' MatchPattern='0x0010'") +
      entry(0x10A, "400114", "INVERTEDMASKEDBOOL", "Mask='0x0001'") +
      entry(0x10B, "400115", "UINT32") +               // serial number as text
      entry(0x10C, "400117", "UINT16", "Scale='10'") + // scaled text
      entry(0x10D, "400118", "BCD", "NumberOfRegisters='1'");
  const uint16_t device = addDevice(*tree, map);
  holding(100, {2305, static_cast<uint16_t>(-1250), 0x4348, 0x0000, 12, 3456, 0x8000 | 16384, 32768,
                0x4D58, 0x3431, 0x3130, 0x2020, 1, 0x0011, 0x0001, 0xE240, 1234, 0x0909});
  const Answer answer = run(device, {{0x101, 21},
                                     {0x102, 21},
                                     {0x103, 21},
                                     {0x104, 21},
                                     {0x105, 21},
                                     {0x106, 21},
                                     {0x107, 21},
                                     {0x108, 21},
                                     {0x109, 21},
                                     {0x10A, 21},
                                     {0x10B, 21},
                                     {0x10C, 21},
                                     {0x10D, 21}});
  ASSERT_TRUE(answer.processed);
  EXPECT_EQ(answer.replyStatus, 0);
  const std::vector<std::string> expected = {
      "230.5", "-12.5", "200",    "123.456", "-0.5", "55.00015259021897", "MX4110", "DELTA",
      "true",  "false", "123456", "123.4",   "99"};
  EXPECT_EQ(answer.results, expected);
  EXPECT_EQ(meterRequests(), 1u); // 18 registers read in one message
}

TEST_F(ModbusTranslatorTest, ExceptionReplyAnswersEachValueWithItsText) {
  const auto tree = powerMeterRegisters({{0x101, 23}, {0x102, 23}, {0x103, 23}});
  const uint16_t device =
      addDevice(*tree, entry(0x101, "400101", "UINT16") + entry(0x102, "400102", "UINT16") +
                           entry(0x103, "400500", "UINT16"));
  holding(100, {1, 2});
  holding(499, {3});
  meter().inject(1, sim::parseFaultSpec("exception:2").fault); // the first message only
  const Answer answer = run(device, {{0x101, 21}, {0x102, 21}, {0x103, 21}});
  EXPECT_EQ(answer.replyStatus, 0);
  const std::string illegal = "ExceptionType { 4u void Illegal Data Address }";
  EXPECT_EQ(answer.results, (std::vector<std::string>{illegal, illegal, "3"}));
}

TEST_F(ModbusTranslatorTest, TimeoutEndsTheCallsDeviceTraffic) {
  const auto tree = powerMeterRegisters({{0x101, 23}, {0x102, 23}});
  const uint16_t device =
      addDevice(*tree, entry(0x101, "400101", "UINT16") + entry(0x102, "400500", "UINT16"));
  holding(100, {1});
  holding(499, {2});
  meter().inject(1, sim::parseFaultSpec("noreply").fault);
  const Answer answer = run(device, {{0x101, 21}, {0x102, 21}});
  ASSERT_TRUE(answer.processed);
  EXPECT_EQ(answer.packetStatus, 2u); // timeout
  EXPECT_EQ(answer.replyStatus, 2);   // "Timeout"
  EXPECT_TRUE(answer.results.empty());
  EXPECT_EQ(meterRequests(), 1u); // the second message was never sent
}

TEST_F(ModbusTranslatorTest, MappingsThatDoNotFitTheRegisterAreRefused) {
  const auto tree = powerMeterRegisters({{0x101, 23}, {0x102, 26}, {0x103, 1}, {0x104, 21}});
  const uint16_t device =
      addDevice(*tree, entry(0x101, "400101", "ASCII") + entry(0x102, "400102", "UINT16") +
                           entry(0x103, "400103", "UINT16") + entry(0x104, "400104", "ASCII"));
  holding(100, {0x4142, 2, 3, 0x4344});
  const Answer answer = run(device, {{0x101, 21}, {0x102, 21}, {0x103, 21}, {0x104, 21}});
  const std::string text =
      "ExceptionType { 3u void Mapping incompatible with the string register type }";
  const std::string other = "ExceptionType { 3u void Mapping incompatible with register type }";
  EXPECT_EQ(answer.results, (std::vector<std::string>{text, other, other, text}));
}

TEST_F(ModbusTranslatorTest, ReadsNoMessageCouldCarryEndTheCallNamingTheAddress) {
  struct Case {
    std::string address;
    std::string extra;
    std::string message;
  } cases[] = {
      {"400101", "NumberOfRegisters='0'",
       "Invalid Number Of Registers 0 for Modbus Register Address '400101'"},
      {"400101", "NumberOfRegisters='70000'", // kept in 16 bits: 4464
       "Invalid Number Of Registers 4464 for Modbus Register Address '400101'"},
      {"465535p3", "",
       "Invalid Modbus Register Address '465535p3': its 1 registers run past "
       "register 65535"},
      {"465536", "NumberOfRegisters='2'",
       "Invalid Modbus Register Address '465536': its 2 registers run past register 65535"},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.address + " " + c.extra);
    const uint16_t device =
        addDevice(*powerMeterRegisters({{0x101, 23}}), entry(0x101, c.address, "UINT16", c.extra));
    EXPECT_FALSE(run(device, {{0x101, 21}}).processed);
    EXPECT_EQ(meterDevices().database().text("SELECT Text FROM SystemLog ORDER BY ID DESC LIMIT 1"),
              c.message);
    EXPECT_EQ(meterRequests(), 0u);
  }
}

TEST_F(ModbusTranslatorTest, WhatSendsNoRequest) {
  // A write-only entry, a read with an argument, and a handle the map
  // lists but the tree lacks are answered without asking the meter.
  const auto tree = powerMeterRegisters({{0x101, 23}, {0x102, 23}});
  const uint16_t device =
      addDevice(*tree, entry(0x101, "400101", "UINT16", "RequestType='W'") +
                           entry(0x102, "400102", "UINT16") + entry(0x103, "400103", "UINT16"));
  holding(100, {1, 2, 3});
  EXPECT_EQ(run(device, {{0x102, 21}}).results, (std::vector<std::string>{"2"}));
  auto number = [](MemoryBlob &blob) -> PICType * { return blob.make<UnsignedType>(7u); };
  const Answer answer = run(device, {{0x101, 21}, {0x102, 21, number}, {0x103, 21}});
  EXPECT_EQ(meterRequests(), 1u); // the first call's read alone
  ASSERT_EQ(answer.results.size(), 3u);
  EXPECT_EQ(answer.results[0], "ExceptionType { 5u void }"); // the tree's register, empty
  EXPECT_EQ(answer.results[1], "ExceptionType { 3u void }");
  EXPECT_EQ(answer.results[2], "ExceptionType { 9u void Invalid object 103 }");
}

TEST_F(ModbusTranslatorTest, ReadTimeComesFromItsEntryOrConstant) {
  const auto tree = powerMeterRegisters({{0x101, 23}, {0x102, 23}, {0x103, 23}});
  const uint16_t device =
      addDevice(*tree, entry(0x101, "400101", "UINT16", "ReadTime='r259'") +
                           entry(0x102, "400102", "UINT16", "ReadTime='1700000000.5'") +
                           entry(0x103, "400103", "UINT32", "Scale='1'"));
  holding(100, {5, 6, 0x6553, 0xF100});
  const Answer answer = run(device, {{0x101, 20}, {0x102, 20}, {0x103, 20}});
  EXPECT_EQ(answer.results,
            (std::vector<std::string>{"1700000000", "1700000000.5", "ExceptionType { 4u void }"}));
}

TEST_F(ModbusTranslatorTest, ConfigurableLabelFollowsItsSelector) {
  const auto tree = powerMeterRegisters({{0x101, 23}, {0x102, 23}});
  const uint16_t device =
      addDevice(*tree, entry(0x101, "400101", "UINT16", "ConfigLabelHandle='258'",
                             "<ConfigLabels Value='Feeder {LBL}'/><ConfigLabels Value='Main'/>") +
                           entry(0x102, "400102", "UINT16", "CacheSpec='C'"));
  holding(100, {5, 0});
  Answer answer = run(device, {{0x102, 21}, {0x101, 3}});
  // A configurable label carries its terminating zero.
  EXPECT_EQ(answer.results, (std::vector<std::string>{"0", std::string("Feeder r257\0", 12)}));
  meter().withUnit(1, [](RegisterBank &bank) { bank.set(Table::HoldingRegisters, 101, 7); });
  clock().advance(std::chrono::seconds(11));
  answer = run(device, {{0x102, 21}, {0x101, 3}});
  EXPECT_EQ(answer.results,
            (std::vector<std::string>{
                "7", "ExceptionType { 3u void Could not find a configurable label value for "
                     "configLabel=7 }"}));
}

} // namespace
} // namespace arxmod::test
