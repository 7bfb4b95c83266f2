// The simulated meter behind the exchange callback: units from the packet,
// reply packets, and every way a call ends without a reply.
#include "sim/SimExchange.h"

#include "frame/DL_Info.h"

#include <gtest/gtest.h>

#include <future>

namespace arxmod::sim {
namespace {

using Bytes = std::vector<uint8_t>;

const Bytes kRead{3, 0, 0, 0, 1};

class SimExchangeTest : public ::testing::Test {
protected:
  SimExchangeTest() {
    for (uint8_t unit : {1, 2})
      meter.addUnit(unit,
                    [unit](RegisterBank &bank) { bank.map(Table::HoldingRegisters, 0, 1, unit); });
  }

  static DL_Info packet(Bytes pdu, uint32_t requestParameter = 0, uint8_t flags = 0) {
    DL_Info p;
    p.address = 0x10203;
    p.protocolId = 5;
    p.translatorId = 6;
    p.flags = flags;
    p.hostWord1 = 0x01020304;
    p.requestParameter = requestParameter;
    p.hostWord3 = 0x0A0B0C0D;
    p.deviceId = 77;
    p.data = std::move(pdu);
    return p;
  }

  // The reply length the callback returns, and the reply packet when there is one.
  int32_t call(const Bytes &request, std::optional<DL_Info> &reply, int32_t capacity = 512,
               uint32_t context = 0) {
    Bytes buffer(static_cast<size_t>(std::max(capacity, 0)));
    int32_t length = capacity;
    SimExchange::callback()(context ? context : exchange.context(), request.data(),
                            static_cast<int32_t>(request.size()), buffer.data(), &length);
    reply.reset();
    if (length > 0) {
      ByteReader in(buffer.data(), static_cast<size_t>(length));
      reply = DL_Info::read(in);
    }
    return length;
  }

  SimulatedMeter meter;
  SimExchange exchange{meter, 2, std::chrono::milliseconds(100)};
};

TEST_F(SimExchangeTest, AnswersInACopyOfTheRequestPacket) {
  std::optional<DL_Info> reply;
  ASSERT_GT(call(packet(kRead, 1).toBytes(), reply), 0);
  EXPECT_EQ(reply->data, (Bytes{3, 2, 0, 1}));
  EXPECT_EQ(reply->status, 0u);
  EXPECT_EQ(reply->deviceId, 77);
  EXPECT_EQ(reply->requestParameter, 1u);
  EXPECT_EQ(reply->hostWord3, 0x0A0B0C0Du);

  // requestParameter 0 asks the default unit.
  ASSERT_GT(call(packet(kRead, 0).toBytes(), reply), 0);
  EXPECT_EQ(reply->data, (Bytes{3, 2, 0, 2}));
}

TEST_F(SimExchangeTest, EndsWithoutAReplyWhereNoneCanCome) {
  meter.addUnit(3, [](RegisterBank &bank) { bank.map(Table::HoldingRegisters, 0, 1); });
  meter.inject(3, parseFaultSpec("noreply").fault);
  meter.inject(3, parseFaultSpec("delay:100").fault);
  const Bytes garbled = packet(kRead, 1).toBytes();
  struct Case {
    const char *name;
    Bytes request;
    int32_t capacity;
    uint32_t context;
  };
  const Case cases[] = {
      {"a unit that does not exist", packet(kRead, 9).toBytes(), 512, 0},
      {"a unit that does not answer", packet(kRead, 3).toBytes(), 512, 0},
      {"a delay as long as the reply timeout", packet(kRead, 3).toBytes(), 512, 0},
      {"a packet that wants no reply", packet(kRead, 1, DL_Info::kFlagNoReply).toBytes(), 512, 0},
      {"a transaction without replies", packet(kRead, 1, DL_Info::kFlagNoReplyAtAll).toBytes(), 512,
       0},
      {"a packet cut short", Bytes(garbled.begin(), garbled.end() - 2), 512, 0},
      {"a packet of no bytes", Bytes{}, 512, 0},
      {"a reply buffer too small for any packet", packet(kRead, 1).toBytes(), 10, 0},
      {"a negative capacity", packet(kRead, 1).toBytes(), -1, 0},
      {"an unknown context", packet(kRead, 1).toBytes(), 512, exchange.context() + 1000},
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<DL_Info> reply;
    EXPECT_EQ(call(c.request, reply, c.capacity, c.context), 0);
  }
  EXPECT_EQ(meter.requestCount(3), 2u);
}

TEST_F(SimExchangeTest, RefusesWhatCannotBeAnsweredAsABadPacket) {
  std::optional<DL_Info> reply;
  ASSERT_GT(call(packet(kRead, 256).toBytes(), reply), 0); // no unit is numbered 256
  EXPECT_EQ(reply->status, 1u);
  EXPECT_TRUE(reply->data.empty());

  // A reply too large for the buffer becomes a bad packet without data.
  const int32_t headerOnly = static_cast<int32_t>(packet({}).toBytes().size());
  ASSERT_EQ(call(packet(kRead, 1).toBytes(), reply, headerOnly + 2), headerOnly);
  EXPECT_EQ(reply->status, 1u);
}

TEST_F(SimExchangeTest, HoldsADelayedReplyUntilTheClockHasMoved) {
  ManualClock clock;
  ScopedClock use(clock);
  meter.inject(1, parseFaultSpec("delay:40").fault);
  auto pending = std::async(std::launch::async, [&] {
    std::optional<DL_Info> reply;
    call(packet(kRead, 1).toBytes(), reply);
    return reply;
  });
  EXPECT_EQ(pending.wait_for(std::chrono::milliseconds(20)), std::future_status::timeout);
  clock.advance(std::chrono::milliseconds(40));
  const auto reply = pending.get();
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->data, (Bytes{3, 2, 0, 1}));
}

} // namespace
} // namespace arxmod::sim
