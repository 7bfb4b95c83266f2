// The real plug-in driven through Process: packets, envelopes and channel
// messages, failures and their system-log rows, concurrent calls.
#include "PluginHarness.h"
#include "messages/SimpleMessages.h"

#include <atomic>
#include <gtest/gtest.h>
#include <random>
#include <thread>

namespace arxmod::test {
namespace {

TEST(PluginProcessTest, AnswersAChannelMessageWithTheRequestsOwnEnvelope) {
  DL_Info packet = requestPacket(kDevice, kOurTranslator, channelEnvelope());
  packet.hostWord1 = 0x0F;
  const Call call = callProcess(packet.toBytes());
  ASSERT_TRUE(call.result) << lastLogText();
  ByteReader in(call.answer);
  const DL_Info answer = DL_Info::read(in);
  EXPECT_EQ(answer.data, channelEnvelope());
  EXPECT_EQ(answer.status, 1u); // a channel message is answered with a "bad packet" status
  EXPECT_EQ(answer.hostWord1, 0x0Du);
  EXPECT_EQ(answer.deviceId, kDevice);
  EXPECT_EQ(answer.requestParameter, packet.requestParameter);
}

TEST(PluginProcessTest, RefusesABadPacketAndLogsIt) {
  DL_Info packet = requestPacket(kDevice, kOurTranslator, channelEnvelope());
  packet.status = 3;
  const long long before = hostDatabase().count("SELECT COUNT(*) FROM SystemLog");
  const Call call = callProcess(packet.toBytes(), 777);
  EXPECT_FALSE(call.result);
  EXPECT_EQ(call.answerLength, 777);
  auto *db = &hostDatabase();
  EXPECT_EQ(db->count("SELECT COUNT(*) FROM SystemLog"), before + 1);
  EXPECT_EQ(db->text("SELECT Priority||'|'||Origin||'|'||Code||'|'||SubOrigin||'|'||Text "
                     "FROM SystemLog ORDER BY ID DESC LIMIT 1"),
            "191|MX4110_4120.SO|100|Unknown|Bad Packet");
}

TEST(PluginProcessTest, RefusesATranslatorNameThatDiffersOnlyInCase) {
  const Call call =
      callProcess(requestPacket(kDevice, kCaseVariantTranslator, channelEnvelope()).toBytes());
  EXPECT_FALSE(call.result);
  EXPECT_EQ(lastLogText(), "Translator 'mx4110_4120' not supported by MX4110_4120.SO");
}

TEST(PluginProcessTest, WritesNothingWhenNoReplyIsWanted) {
  DL_Info packet = requestPacket(kDevice, kOurTranslator, channelEnvelope());
  packet.flags = 0x01;
  const Call call = callProcess(packet.toBytes());
  EXPECT_TRUE(call.result);
  EXPECT_EQ(call.answerLength, 0);
}

TEST(PluginProcessTest, ReportsAnAnswerThatDoesNotFitAsMinusOne) {
  const auto request = requestPacket(kDevice, kOurTranslator, channelEnvelope()).toBytes();
  const Call call = callProcess(request, 20);
  EXPECT_TRUE(call.result);
  EXPECT_EQ(call.answerLength, -1);
  // Without an answer buffer the call still succeeds and writes nothing.
  const Call blind = callProcess(request, 4096, false);
  EXPECT_TRUE(blind.result);
  EXPECT_EQ(blind.answerLength, 4096);
}

// A time message needs no answer from a translator: asking for one fails the call.
TEST(PluginProcessTest, RefusesToAnswerATimeMessage) {
  const Call call = callProcess(
      requestPacket(kDevice, kOurTranslator, envelopeBytes(std::make_unique<TimeMessageIncluded>()))
          .toBytes());
  EXPECT_FALSE(call.result);
  EXPECT_EQ(lastLogText(), "Response not applicable");
}

TEST(PluginProcessTest, SurvivesTruncatedLyingAndRandomPackets) {
  const auto valid = requestPacket(kDevice, kOurTranslator, channelEnvelope()).toBytes();
  std::mt19937 random(20261209);
  auto byte = [&] { return static_cast<uint8_t>(random()); };
  int answered = 0;
  for (int i = 0; i < 100000; ++i) {
    std::vector<uint8_t> input = valid;
    switch (i % 4) {
    case 0: // truncated
      input.resize(random() % valid.size());
      break;
    case 1: // a lying dataLength or envelope length
      input[30 + random() % 2] = byte();
      input[32 + random() % 2] = byte();
      break;
    case 2: // a few flipped bytes, status kept 0 so the envelope is read
      for (int n = 1 + random() % 4; n > 0; --n)
        input[random() % input.size()] = byte();
      input[8] = 0;
      break;
    default: // random bytes with a plausible header
      input.resize(32 + random() % 64);
      for (size_t k = 32; k < input.size(); ++k)
        input[k] = byte();
      input[30] = static_cast<uint8_t>(input.size() - 32 + random() % 3);
      break;
    }
    const Call call = callProcess(input, 256);
    answered += call.result;
  }
  EXPECT_GT(answered, 0);
}

// The host calls Process from many threads at once; each call must get its
// own answer, and failures logged meanwhile must all reach the system log.
TEST(PluginProcessTest, ConcurrentCallsAnswerIndependently) {
  constexpr int kThreads = 6;
  constexpr int kCalls = 200;
  const long long logged = hostDatabase().count("SELECT COUNT(*) FROM SystemLog");
  std::atomic<int> wrongAnswers{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t)
    threads.emplace_back([t, &wrongAnswers] {
      DL_Info good = requestPacket(kDevice, kOurTranslator, channelEnvelope());
      good.hostShort = static_cast<uint16_t>(t);
      DL_Info bad = good;
      bad.status = 2;
      for (int i = 0; i < kCalls; ++i) {
        const Call call = callProcess((i % 2 ? bad : good).toBytes());
        if (i % 2 ? call.result : !call.result) {
          ++wrongAnswers;
          continue;
        }
        if (i % 2 == 0) {
          ByteReader in(call.answer);
          if (DL_Info::read(in).hostShort != t)
            ++wrongAnswers;
        }
      }
    });
  for (auto &thread : threads)
    thread.join();
  EXPECT_EQ(wrongAnswers.load(), 0);
  EXPECT_EQ(hostDatabase().count("SELECT COUNT(*) FROM SystemLog"), logged + kThreads * kCalls / 2);
}

} // namespace
} // namespace arxmod::test
