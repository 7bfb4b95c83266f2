// Hostile replies: a seeded loop of mutated meter replies delivered to a
// transaction of every message kind, each of which must end as a response
// of its own message's requests or as one of the reply failures; and
// transmission numbers drawn by concurrent transactions.
#include "ModbusFixtures.h"

#include "sim/SimulatedMeter.h"

#include <random>
#include <set>
#include <thread>

namespace XLARX::test {
namespace {

constexpr size_t kMutations = 100'000;

bool isReplyFailure(const std::string &text) {
  static const char *const kFailures[] = {
      "Invalid Modbus response - No Function Code",
      "Modbus Function Code is not supported",
      "Invalid Modbus response - Could not decode. Response: (",
      "Mismatched Modbus function class",
      "Mismatched Modbus scattered read transmission number",
  };
  for (const char *failure : kFailures)
    if (text.rfind(failure, 0) == 0)
      return true;
  return false;
}

// A transaction with a scattered read, a dataset block, a coil read, an
// input register text, a file record read and a write.
IRefPtr<ModbusTransaction> everyKind() {
  static const IRefPtr<TransactionConfig> config = configOf(Limits().scattered().block(200, 10));
  auto t = makeRef<ModbusTransaction>(nullptr, config);
  read(*t, "400101", 2, MBF_U32_4321);
  read(*t, "405001");
  read(*t, "400201p2", 2, MBF_F32_4321);
  read(*t, "000001");
  read(*t, "000009");
  read(*t, "300001", 2, MBF_ASCII);
  t->createFileRecordRead(4, 1, 2, 0);
  t->createWrite("400301", MBF_U16_21, 0xFFFF, 7, 1, true);
  return t;
}

Bytes mutated(Bytes reply, std::mt19937 &random) {
  const auto any = [&](size_t bound) {
    return std::uniform_int_distribution<size_t>(0, bound - 1)(random);
  };
  const auto byte = [&] { return static_cast<uint8_t>(any(256)); };
  switch (any(8)) {
  case 0: // cut short
    reply.resize(any(reply.size()));
    break;
  case 1: // bytes beyond the reply
    for (size_t n = 1 + any(8); n > 0; --n)
      reply.push_back(byte());
    break;
  case 2: // another function code
    reply[0] = byte();
    break;
  case 3: // another byte count
    if (reply.size() > 1)
      reply[1] = byte();
    break;
  case 4: // another transmission number, or any other byte
    reply[reply.size() > 3 && reply[0] == 100 ? 3 : any(reply.size())] = byte();
    break;
  case 5: // an exception of any function
    reply = {static_cast<uint8_t>(byte() | 0x80), byte()};
    break;
  case 6: // garbage of any length
    reply.resize(any(40));
    for (uint8_t &b : reply)
      b = byte();
    break;
  default: // the reply as the meter sent it
    break;
  }
  return reply;
}

TEST(HostileReplyTest, MutatedRepliesAnswerOnlyTheirMessageOrFail) {
  arxmod::sim::SimulatedMeter meter;
  meter.addUnit(1, [](arxmod::sim::RegisterBank &bank) {
    bank.mapAll();
    bank.mapFile(4, 10, 0x4142);
  });
  std::mt19937 random(20240517);
  size_t answered = 0, failed = 0;
  for (size_t i = 0; i < kMutations; ++i) {
    auto t = everyKind();
    const size_t index = std::uniform_int_distribution<size_t>(0, t->requestCount() - 1)(random);
    const auto pdu = pduOf(*t, index);
    const Bytes reply = mutated(*meter.answer(1, pdu).pdu, random);
    const std::string failure =
        failureOf([&] { t->deliver(index, XL::ResponseOkay, reply.data(), reply.size()); });
    const std::vector<size_t> own = t->plan()[index].requests;
    for (size_t r = 0; r < t->requests().size(); ++r) {
      const bool mayAnswer = failure.empty() && std::count(own.begin(), own.end(), r);
      if (!mayAnswer && t->responses()[r]) {
        ADD_FAILURE() << "request " << r << " answered by message " << index << " reply "
                      << ::testing::PrintToString(reply);
        return;
      }
    }
    if (!failure.empty() && !isReplyFailure(failure)) {
      ADD_FAILURE() << failure;
      return;
    }
    ++(failure.empty() ? answered : failed);
  }
  // The loop reached both ends: replies taken and replies refused.
  EXPECT_GT(answered, kMutations / 10);
  EXPECT_GT(failed, kMutations / 10);
}

TEST(HostileReplyTest, TransmissionNumbersOfConcurrentTransactionsDiffer) {
  constexpr size_t kPerThread = 100;
  const auto draw = [] {
    auto t = makeRef<ModbusTransaction>(nullptr, configOf(Limits().max(1).scattered()));
    read(*t, "400001", kPerThread); // one scattered read per register
    std::vector<uint8_t> numbers;
    for (const MessageItem &item : t->messages())
      numbers.push_back(item.message.transmissionNumber);
    return numbers;
  };
  std::vector<uint8_t> first, second;
  std::thread other([&] { second = draw(); });
  first = draw();
  other.join();
  std::set<uint8_t> distinct(first.begin(), first.end());
  distinct.insert(second.begin(), second.end());
  EXPECT_EQ(distinct.size(), 2 * kPerThread);
}

} // namespace
} // namespace XLARX::test
