// The mapped level through whole Process calls on the test clock: what the
// cache answers and when it asks the meter again, the refresh groups, the
// probe of a quiet meter, exclusions, setup counters, labels with the
// device's name, the rebuild when the map changes, and concurrent calls.
#include "MeterFixture.h"
#include "TreeBuilder.h"
#include "tree/RegisterObj.h"

#include <sstream>
#include <thread>

namespace arxmod::test {
namespace {

using namespace std::chrono_literals;
using sim::RegisterBank;
using sim::Table;

std::string entry(uint32_t handle, uint16_t offset, const std::string &extra = "",
                  const std::string &children = "") {
  const std::string type = extra.find("RequestType") == std::string::npos ? " RequestType='R'" : "";
  return "<ModbusInfo ARXHandle='" + std::to_string(handle) + "' Name='r" + std::to_string(handle) +
         "' ModbusAddress='" + std::to_string(400001 + offset) + "'" + type + " Format='UINT16' " +
         extra + ">" + children + "</ModbusInfo>";
}

// Module 0x100 (label "Meter !!DeviceName!!", outputs 0x101 and 0x102,
// setup 0x103) with numeric registers 0x101 to 0x106.
IRefPtr<ObjList> meterTree() {
  auto list = makeRef<ObjList>();
  auto &module = addObject<ModuleObj>(*list, 0x100, 500, 2, "Power Meter");
  module.setLabel("Meter !!DeviceName!!");
  module.setOutputs(std::vector<uint32_t>{0x101, 0x102});
  module.setSetups(std::vector<uint32_t>{0x103});
  for (uint32_t handle = 0x101; handle <= 0x106; ++handle)
    addObject<RegisterObj>(*list, handle, 23, 0x100, "r" + std::to_string(handle));
  return list;
}

const std::string kNoValue = "ExceptionType { 5u void No value received from device. }";

class MappedTranslatorTest : public MeterFixture {
protected:
  MappedTranslatorTest() {
    meter().withUnit(1, [](RegisterBank &bank) {
      bank.map(Table::HoldingRegisters, 0, 16);
      for (uint16_t offset = 0; offset < 16; ++offset)
        bank.set(Table::HoldingRegisters, offset, 10 + offset);
    });
  }
  void set(uint16_t offset, uint16_t value) {
    meter().withUnit(1,
                     [&](RegisterBank &bank) { bank.set(Table::HoldingRegisters, offset, value); });
  }
  // Requests a call sends.
  uint64_t requestsOf(uint16_t device, const std::vector<Invocation> &program,
                      Answer *answer = nullptr) {
    const uint64_t before = meterRequests();
    Answer made = run(device, program);
    if (answer)
      *answer = made;
    return meterRequests() - before;
  }
};

TEST_F(MappedTranslatorTest, NewCacheAnswersNoValueWhereNoReplyCame) {
  // 0x102 is cached but write-only, so nothing ever reads it.
  const uint16_t device = addDevice(
      *meterTree(), entry(0x101, 1, "CacheSpec='C'") +
                        entry(0x102, 2, "CacheSpec='C' RequestType='W'") + entry(0x104, 4));
  const Answer answer = run(device, {{0x101, 21}, {0x102, 21}, {0x104, 21}, {0x102, 20}});
  EXPECT_EQ(answer.results,
            (std::vector<std::string>{"11", kNoValue, "14", "ExceptionType { 4u void }"}));
}

TEST_F(MappedTranslatorTest, CachedValuesAnswerWhileFresh) {
  const uint16_t device =
      addDevice(*meterTree(), entry(0x101, 1, "CacheSpec='C'") + entry(0x102, 2, "CacheSpec='D'") +
                                  entry(0x104, 4));
  const std::vector<Invocation> program = {{0x101, 21}, {0x102, 21}, {0x104, 21}};
  Answer answer;
  EXPECT_EQ(requestsOf(device, program, &answer), 1u);
  set(1, 21);
  set(2, 22);
  set(4, 24);
  clock().advance(9999ms); // within the high-speed period, the values' age limit
  EXPECT_EQ(requestsOf(device, program, &answer), 1u); // 0x104 is never cached
  EXPECT_EQ(answer.results, (std::vector<std::string>{"11", "12", "24"}));

  // Past the limit a client read asks again, "C" and "D" alike; between
  // client reads the refresh renews "C" values only.
  clock().advance(2s);
  EXPECT_EQ(requestsOf(device, {{0x100, 1}}), 1u);
  set(1, 31);
  set(2, 32);
  clock().advance(10001ms);
  EXPECT_EQ(requestsOf(device, {{0x100, 1}}), 1u);
  clock().advance(1ms);
  EXPECT_EQ(requestsOf(device, {{0x101, 21}, {0x102, 21}}, &answer), 1u);
  EXPECT_EQ(answer.results, (std::vector<std::string>{"31", "32"}));
}

TEST_F(MappedTranslatorTest, SetupRegistersRefreshAtTheHighRate) {
  const uint16_t device = addDevice(*meterTree(), "<DeviceInfo HighSpeedUpdateRate='20'/>" +
                                                      entry(0x103, 3, "SetupReg='1'"));
  const std::vector<Invocation> treeOnly = {{0x100, 2}};
  struct Step {
    std::chrono::milliseconds after;
    uint64_t requests;
  } steps[] = {{0ms, 1}, {5000ms, 0}, {14999ms, 0}, {1ms, 0}, {1ms, 1}, {19000ms, 0}, {1001ms, 1}};
  for (const Step &step : steps) {
    clock().advance(step.after);
    SCOPED_TRACE(testing::Message() << "at tick " << clock().tickNow());
    EXPECT_EQ(requestsOf(device, treeOnly), step.requests);
  }
}

TEST_F(MappedTranslatorTest, APassAfterTheMeterTookTimeJudgesAgesByTheNewTime) {
  // The write to 0x103 goes out alone in the call's first pass, and the
  // meter takes two seconds over it; the read of 0x101 in the second pass
  // then finds its value 11 s old, past the 10 s limit.
  const uint16_t device = addDevice(*meterTree(), entry(0x101, 1, "CacheSpec='C'") +
                                                      entry(0x103, 3, "RequestType='RW'"));
  meter().withUnit(1, [this](RegisterBank &bank) {
    bank.onWrite(Table::HoldingRegisters, 3, 1, [this](RegisterBank &, const sim::Access &) {
      clock().advance(2s);
      return uint8_t{0};
    });
  });
  EXPECT_EQ(requestsOf(device, {{0x101, 21}}), 1u);
  clock().advance(9s);
  set(1, 77);
  Answer answer;
  const auto seven = [](MemoryBlob &blob) -> PICType * { return blob.make<UnsignedType>(7u); };
  EXPECT_EQ(requestsOf(device, {{0x103, 22, seven}, {0x101, 21}}, &answer), 2u);
  ASSERT_EQ(answer.results.size(), 2u);
  EXPECT_EQ(answer.results[1], "77");
}

TEST_F(MappedTranslatorTest, QuietMeterIsProbed) {
  const uint16_t device = addDevice(*meterTree(), entry(0x101, 1) + entry(0x102, 2));
  const std::vector<Invocation> treeOnly = {{0x100, 2}};
  EXPECT_EQ(requestsOf(device, treeOnly), 1u); // never heard from
  clock().advance(60s);
  EXPECT_EQ(requestsOf(device, treeOnly), 0u);
  clock().advance(1ms);
  EXPECT_EQ(requestsOf(device, treeOnly), 1u);
  clock().advance(59s);
  EXPECT_EQ(requestsOf(device, {{0x102, 21}}), 1u); // a good reply of its own
  clock().advance(2s);
  EXPECT_EQ(requestsOf(device, treeOnly), 0u);
}

TEST_F(MappedTranslatorTest, ExcludedHandlesFollowTheirConfigurationHandle) {
  const uint16_t device =
      addDevice(*meterTree(), "<HandleExclusionList ARXHandle='258' ConfigARXHandle='259'/>" +
                                  entry(0x101, 1) + entry(0x102, 2) + entry(0x103, 3));
  const std::vector<Invocation> program = {{0x102, 21}, {0x102, 1}, {0x100, 1003}, {0x101, 21}};
  set(3, 0);
  EXPECT_EQ(run(device, program).results,
            (std::vector<std::string>{"ExceptionType { 9u void }", "ExceptionType { 9u void }",
                                      "UnsignedArrayType { 257u }", "11"}));
  set(3, 1);
  clock().advance(11s); // the configuration handle is refreshed with the high-speed group
  EXPECT_EQ(run(device, program).results,
            (std::vector<std::string>{"12", "23u", "UnsignedArrayType { 257u 258u }", "11"}));
}

TEST_F(MappedTranslatorTest, SetupCounterMovesWithConfigurationChanges) {
  const uint16_t device = addDevice(*meterTree(), entry(0x103, 3, "SetupReg='1'"));
  auto counter = [&] { return run(device, {{0x100, 80}}).results.at(0); };
  const std::string loaded = std::to_string(unixWholeSeconds(clock().wallNow())) + "u";
  EXPECT_EQ(counter(), loaded);
  clock().advance(11s);
  EXPECT_EQ(counter(), loaded); // refreshed, unchanged
  set(3, 99);
  clock().advance(11s);
  EXPECT_EQ(counter(), std::to_string(unixWholeSeconds(clock().wallNow())) + "u");
}

TEST_F(MappedTranslatorTest, LabelsNameTheDeviceAndEnumerationsListTheirTexts) {
  const uint16_t device = addDevice(
      *meterTree(),
      entry(0x104, 4, "", "<Enumeration Value='Wye'/><Enumeration Ordinal='3' Value='Delta'/>"),
      "Feeder 7");
  EXPECT_EQ(run(device, {{0x100, 3}, {0x104, 520}, {0x105, 520}}).results,
            (std::vector<std::string>{"Meter Feeder 7", "StringArrayType { \"Wye\" \"Delta\" }",
                                      "ExceptionType { 6u void }"}));
}

TEST_F(MappedTranslatorTest, ScalingReferenceIsReadBeforeTheValueUsingIt) {
  const uint16_t device =
      addDevice(*meterTree(), entry(0x101, 1, "Multiplier='r262'") + entry(0x106, 6));
  set(1, 7);
  set(6, 40);
  Answer answer;
  EXPECT_EQ(requestsOf(device, {{0x101, 21}}, &answer), 1u); // one message for both
  EXPECT_EQ(answer.results, (std::vector<std::string>{"280"}));
}

TEST_F(MappedTranslatorTest, ReferenceCycleInTheMapEnds) {
  const uint16_t device =
      addDevice(*meterTree(), entry(0x101, 1, "Scale='r258'") + entry(0x102, 2, "Scale='r257'"));
  const Answer answer = run(device, {{0x101, 21}, {0x102, 21}});
  ASSERT_EQ(answer.results.size(), 2u);
  EXPECT_NE(answer.results[0].find("Bad register reference"), std::string::npos);
}

// std::clog, where the translator's trace lines go, while the object lives.
class ClogCapture {
public:
  ClogCapture() : previous_(std::clog.rdbuf(text_.rdbuf())) {}
  ~ClogCapture() { std::clog.rdbuf(previous_); }
  std::string take() { return std::exchange(text_, {}).str(); }

private:
  std::ostringstream text_;
  std::streambuf *previous_;
};

TEST_F(MappedTranslatorTest, ChangedMapRebuildsTheCache) {
  const std::string traced = "<Diagnostics EnableTracing='1'/>";
  const uint16_t device =
      addDevice(*meterTree(), traced + entry(0x101, 1, "CacheSpec='D'"), "Feeder 7");
  ClogCapture console;
  EXPECT_EQ(requestsOf(device, {{0x101, 21}}), 1u);
  EXPECT_EQ(console.take(), "[Device: Feeder 7] Updating map and tree information.\n"
                            "[Device: Feeder 7] Initialized cache with 1 items.\n");
  EXPECT_EQ(requestsOf(device, {{0x101, 21}}), 0u);
  EXPECT_EQ(console.take(), "");

  rewriteMap(device, traced + entry(0x101, 1, "CacheSpec='D'") + entry(0x102, 2, "CacheSpec='C'"));
  EXPECT_EQ(requestsOf(device, {{0x101, 21}}), 1u); // values are not carried over
  EXPECT_EQ(console.take(), "[Device: Feeder 7] Updating map and tree information.\n"
                            "[Device: Feeder 7] Initialized cache with 2 items.\n");
}

TEST_F(MappedTranslatorTest, ConcurrentCallsForOneDeviceKeepTheirOwnReplies) {
  const uint16_t device =
      addDevice(*meterTree(), entry(0x101, 1, "CacheSpec='C'") + entry(0x102, 2, "SetupReg='1'") +
                                  entry(0x104, 4));
  const uint16_t other = addDevice(*meterTree(), entry(0x101, 1, "CacheSpec='D'"));
  auto calls = [&](uint16_t target) {
    for (int round = 0; round < 40; ++round) {
      clock().advance(3s);
      const Answer answer = run(target, {{0x101, 21}, {0x102, 21}, {0x104, 21}});
      ASSERT_EQ(answer.results.size(), 3u);
      EXPECT_EQ(answer.results[0], "11");
    }
  };
  std::thread first(calls, device);
  std::thread second(calls, device);
  std::thread third(calls, other);
  first.join();
  second.join();
  third.join();
  EXPECT_EQ(run(device, {{0x102, 21}, {0x104, 21}}).results,
            (std::vector<std::string>{"12", "14"}));
}

} // namespace
} // namespace arxmod::test
