// The serial engine: what each packet sent through the callback carries,
// and how replies, missing replies and failures are delivered.
#include "frame/LegacyDLIComm.h"
#include "FrameFixtures.h"

#include <gtest/gtest.h>

namespace arxmod::test {
namespace {

class LegacyDLICommTest : public ::testing::Test {
protected:
  LegacyDLICommTest() { addTranslators(db); }

  TempHostDatabase db; // sub-transactions take their protocol number from the translator table
  ScriptedHost host;
  IRefPtr<LegacyDLITransaction> origin = channelTransaction();
  LegacyDLIComm engine;

  IRefPtr<FakeSerialTransaction> serial(size_t count) {
    return makeRef<FakeSerialTransaction>(origin, count);
  }
};

TEST_F(LegacyDLICommTest, SendsEachRequestInACopyOfTheTemplatePacket) {
  auto sub = serial(2);
  host.replies = {reply(0, {0xAA}), reply(0, {0xBB, 0xCC})};
  EXPECT_TRUE(engine.process(*sub));
  ASSERT_EQ(host.sent.size(), 2u);
  for (size_t i = 0; i < 2; ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(host.sent[i].deviceId, 9);
    EXPECT_EQ(host.sent[i].protocolId, 7);
    EXPECT_EQ(host.sent[i].requestParameter, 100 + i);
    EXPECT_EQ(host.sent[i].hostWord3, 0x55667788u); // carried from the host's packet
    EXPECT_EQ(host.sent[i].flags & 0x05, 0);
    EXPECT_EQ(host.sent[i].data, std::vector<uint8_t>{static_cast<uint8_t>(i)});
  }
  ASSERT_EQ(sub->delivered.size(), 2u);
  EXPECT_EQ(sub->delivered[0].status, XL::ResponseOkay);
  EXPECT_EQ(sub->delivered[1].bytes, (std::vector<uint8_t>{0xBB, 0xCC}));
}

TEST_F(LegacyDLICommTest, ATimeoutStopsLaterRequestsButABadPacketDoesNot) {
  auto sub = serial(4);
  host.replies = {reply(1), silence()};
  engine.process(*sub);
  EXPECT_EQ(host.sent.size(), 2u); // requests 2 and 3 are not sent
  ASSERT_EQ(sub->delivered.size(), 4u);
  EXPECT_EQ(sub->delivered[0].status, XL::ResponseBadPacket);
  EXPECT_EQ(sub->delivered[1].status, XL::ResponseTimeout);
  EXPECT_EQ(sub->delivered[2].status, XL::ResponseTimeout);
  EXPECT_EQ(sub->delivered[3].status, XL::ResponseTimeout);
}

TEST_F(LegacyDLICommTest, ConvertsReplyStatusesAndHostileLengths) {
  struct Case {
    ScriptedReply reply;
    XL::ResponseStatus expected;
  };
  const Case cases[] = {
      {reply(7, {1}), XL::ResponseBadPacket},
      {reply(3), XL::ResponseSiteNotConnected},
      {silence(), XL::ResponseTimeout},
      {misreportedLength(-5), XL::ResponseTimeout},      // negative length: no reply
      {misreportedLength(1 << 20), XL::ResponseTimeout}, // beyond the offered buffer
      {misreportedLength(10), XL::ResponseBadPacket},    // a reply packet cut short
  };
  for (const Case &c : cases) {
    SCOPED_TRACE(static_cast<int>(c.expected));
    auto sub = serial(1);
    host.replies = {c.reply};
    engine.process(*sub);
    ASSERT_EQ(sub->delivered.size(), 1u);
    EXPECT_EQ(sub->delivered[0].status, c.expected);
  }
}

TEST_F(LegacyDLICommTest, NoReplyFormsSetTheirFlagsAndDeliverNothing) {
  auto quiet = serial(2);
  quiet->noReplyIndex = 0;
  host.replies = {reply(0), reply(0, {5})};
  engine.process(*quiet);
  ASSERT_EQ(host.sent.size(), 2u);
  EXPECT_EQ(host.sent[0].flags & 0x01, 0x01);
  ASSERT_EQ(quiet->delivered.size(), 1u);
  EXPECT_EQ(quiet->delivered[0].index, 1u);

  auto silent = serial(2);
  silent->silent = true;
  host.sent.clear();
  engine.process(*silent);
  ASSERT_EQ(host.sent.size(), 2u);
  EXPECT_EQ(host.sent[0].flags & 0x05, 0x05);
  EXPECT_EQ(host.sent[0].deviceId, 77);
  EXPECT_EQ(host.sent[0].requestParameter, 0u);
  EXPECT_TRUE(silent->delivered.empty());
}

TEST_F(LegacyDLICommTest, RefusesTransactionsItCannotSend) {
  XL::Transaction plain;
  EXPECT_THROW(
      {
        try {
          engine.process(plain);
        } catch (const KSXmsg &e) {
          EXPECT_EQ(e.text(), "Request not serializable");
          throw;
        }
      },
      KSXmsg);
  FakeSerialTransaction orphan(nullptr, 1);
  try {
    engine.process(orphan);
    FAIL();
  } catch (const KSXmsg &e) {
    EXPECT_EQ(e.text(), "Do not support transaction of unknown origin");
  }
}

} // namespace
} // namespace arxmod::test
