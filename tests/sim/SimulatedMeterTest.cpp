// The simulated meter's units, its faults, its tick hooks, and its lock
// under requests from many threads.
#include "sim/SimulatedMeter.h"

#include <gtest/gtest.h>

#include <thread>

namespace arxmod::sim {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kRead{3, 0, 0, 0, 2};                     // holding registers 0 and 1
const Bytes kReadReply{3, 4, 0x12, 0x34, 0x56, 0x78}; //
const Bytes kScattered{100, 4, 4, 0x21, 0, 1};        // transmission 0x21, register 1
const Bytes kScatteredReply{100, 4, 4, 0x21, 0x56, 0x78};

class SimulatedMeterTest : public ::testing::Test {
protected:
  SimulatedMeterTest() {
    meter.addUnit(1, [](RegisterBank &bank) {
      bank.map(Table::HoldingRegisters, 0, 10);
      bank.set(Table::HoldingRegisters, 0, 0x1234);
      bank.set(Table::HoldingRegisters, 1, 0x5678);
    });
  }

  void inject(const char *text) { meter.inject(1, parseFaultSpec(text).fault); }
  std::optional<Bytes> reply(const Bytes &request, uint8_t unit = 1) {
    return meter.answer(unit, request).pdu;
  }

  SimulatedMeter meter;
};

TEST_F(SimulatedMeterTest, OnlyUnitsThatWereAddedAnswer) {
  EXPECT_EQ(reply(kRead), kReadReply);
  EXPECT_FALSE(reply(kRead, 2));
  EXPECT_FALSE(reply({}));
  EXPECT_EQ(meter.requestCount(1), 1u);
  EXPECT_TRUE(meter.hasUnit(1));
  EXPECT_FALSE(meter.hasUnit(2));
  EXPECT_THROW(meter.withUnit(2, [](RegisterBank &) {}), std::out_of_range);
  EXPECT_THROW(meter.inject(2, Fault{}), std::out_of_range);
}

TEST_F(SimulatedMeterTest, EachFaultChangesTheReplyAsNamed) {
  struct Case {
    const char *fault;
    Bytes request;
    std::optional<Bytes> reply;
    std::chrono::milliseconds delay;
  };
  const Case cases[] = {
      {"noreply", kRead, std::nullopt, {}},
      {"exception:6", kRead, Bytes{0x83, 6}, {}},
      {"cut", kRead, Bytes{3, 4, 0x12}, {}},
      {"cut:5", kRead, Bytes{3, 4, 0x12, 0x34, 0x56}, {}},
      {"cut:200", kRead, Bytes{3, 4, 0x12, 0x34, 0x56}, {}},
      {"function", kRead, Bytes{4, 4, 0x12, 0x34, 0x56, 0x78}, {}},
      {"function", kScattered, Bytes{3, 4, 4, 0x21, 0x56, 0x78}, {}},
      {"transmission", kScattered, Bytes{100, 4, 4, 0x22, 0x56, 0x78}, {}},
      {"transmission:7", kScattered, Bytes{100, 4, 4, 0x07, 0x56, 0x78}, {}},
      {"delay:250", kRead, kReadReply, std::chrono::milliseconds(250)},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.fault);
    meter.clearFaults(1);
    inject(c.fault);
    const SimReply faulty = meter.answer(1, c.request);
    EXPECT_EQ(faulty.pdu, c.reply);
    EXPECT_EQ(faulty.delay, c.delay);
    const SimReply next = meter.answer(1, c.request); // one-shot: the next reply is sound
    EXPECT_EQ(next.pdu, c.request == kRead ? kReadReply : kScatteredReply);
    EXPECT_EQ(next.delay, std::chrono::milliseconds(0));
  }
}

TEST_F(SimulatedMeterTest, FaultsLastAsLongAsTold) {
  inject("exception:4,times=2");
  EXPECT_EQ(reply(kRead), (Bytes{0x83, 4}));
  EXPECT_EQ(reply(kRead), (Bytes{0x83, 4}));
  EXPECT_EQ(reply(kRead), kReadReply);

  inject("noreply,always");
  for (int i = 0; i < 5; ++i)
    EXPECT_FALSE(reply(kRead));
  meter.clearFaults(1);
  EXPECT_EQ(reply(kRead), kReadReply);
}

TEST_F(SimulatedMeterTest, AFaultWaitsForTheRequestsItNames) {
  inject("exception:6,fc=16");
  inject("transmission");
  EXPECT_EQ(reply(kRead), kReadReply); // neither a write nor a scattered read
  EXPECT_EQ(reply(kScattered), (Bytes{100, 4, 4, 0x22, 0x56, 0x78}));
  EXPECT_EQ(reply({16, 0, 5, 0, 1, 2, 0, 9}), (Bytes{0x90, 6}));
  EXPECT_EQ(reply({16, 0, 5, 0, 1, 2, 0, 9}), (Bytes{16, 0, 5, 0, 1}));
}

TEST_F(SimulatedMeterTest, NoReplyAndExceptionFaultsLeaveTheBankAlone) {
  inject("noreply");
  inject("exception:4");
  const Bytes write{6, 0, 2, 0, 42};
  EXPECT_FALSE(reply(write));
  EXPECT_EQ(reply(write), (Bytes{0x86, 4}));
  meter.withUnit(1, [](RegisterBank &bank) { EXPECT_EQ(bank.get(Table::HoldingRegisters, 2), 0); });
  inject("delay:10");
  EXPECT_EQ(reply(write), write); // a late reply still carries the write out
  meter.withUnit(1,
                 [](RegisterBank &bank) { EXPECT_EQ(bank.get(Table::HoldingRegisters, 2), 42); });
}

TEST_F(SimulatedMeterTest, TickHooksGetTheTimeTheyAreGiven) {
  meter.addUnit(2, [](RegisterBank &bank) {
    bank.map(Table::InputRegisters, 0, 1);
    bank.onTick([](RegisterBank &b, WallTime now) {
      b.set(Table::InputRegisters, 0, static_cast<uint16_t>(unixWholeSeconds(now) % 60));
    });
  });
  meter.tick(WallTime(std::chrono::seconds(125)));
  EXPECT_EQ(reply({4, 0, 0, 0, 1}, 2), (Bytes{4, 2, 0, 5}));
}

TEST_F(SimulatedMeterTest, ConcurrentRequestsTicksAndFaultsKeepEveryUnitConsistent) {
  meter.addUnit(2, [](RegisterBank &bank) {
    bank.map(Table::HoldingRegisters, 0, 2);
    bank.onTick([](RegisterBank &b, WallTime) {
      b.set(Table::HoldingRegisters, 1, b.get(Table::HoldingRegisters, 1) + 1);
    });
  });
  constexpr int kThreads = 4;
  constexpr int kRounds = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        // Both registers written in one request are always read back as a pair.
        const auto v = static_cast<uint8_t>(i);
        EXPECT_EQ(meter.answer(1, Bytes{16, 0, 8, 0, 2, 4, 0, v, 0, v}).pdu,
                  (Bytes{16, 0, 8, 0, 2}));
        const auto read = meter.answer(1, Bytes{3, 0, 8, 0, 2}).pdu;
        ASSERT_TRUE(read);
        EXPECT_EQ((*read)[3], (*read)[5]);
        meter.inject(2, Fault{FaultKind::Delay, 1, 0, 1});
        EXPECT_EQ(meter.answer(2, Bytes{3, 0, 0, 0, 2}).pdu->size(), 6u);
        meter.tick(WallTime{});
      }
    });
  for (auto &thread : threads)
    thread.join();
  EXPECT_EQ(meter.requestCount(1), 2u * kThreads * kRounds);
  EXPECT_EQ(meter.requestCount(2), 1u * kThreads * kRounds);
  meter.withUnit(2, [&](RegisterBank &bank) {
    EXPECT_EQ(bank.get(Table::HoldingRegisters, 1), kThreads * kRounds);
  });
}

} // namespace
} // namespace arxmod::sim
