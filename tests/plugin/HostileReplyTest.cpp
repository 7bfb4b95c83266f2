// Hostile meter replies through the loaded plug-in: 100,000 Process calls
// whose Modbus replies are the simulated meter's own, mutated (lengths cut
// or grown, function codes, byte counts and transmission numbers changed,
// exception replies for requests never sent, random bytes, bad packets).
// None may crash the plug-in, read past a reply or hang a call; each call
// either answers or fails with a message in the system log. The build
// under AddressSanitizer is what makes this loop a check.
#include "MeterPlugin.h"
#include "TreeBuilder.h"
#include "frame/DL_Info.h"
#include "tree/RegisterObj.h"

#include <gtest/gtest.h>

#include <random>

namespace arxmod::test {
namespace {

using sim::RegisterBank;
using sim::Table;

constexpr int kCalls = 100000;

// The meter behind the hostile callback and the state of its mutations.
struct HostileMeter {
  sim::SimulatedMeter meter;
  std::mt19937 random{20240611};
  uint64_t replies = 0;
};
HostileMeter *hostile = nullptr;

uint32_t below(uint32_t bound) {
  return std::uniform_int_distribution<uint32_t>(0, bound - 1)(hostile->random);
}

// The meter's reply PDU to `pdu`, changed in one of the ways a broken or
// malicious meter (or line) could change it.
std::vector<uint8_t> mutatedReply(const std::vector<uint8_t> &pdu) {
  std::vector<uint8_t> reply = hostile->meter.answer(1, pdu).pdu.value_or(std::vector<uint8_t>{});
  const auto randomByte = [] { return static_cast<uint8_t>(below(256)); };
  switch (below(9)) {
  case 0: // cut short
    reply.resize(reply.empty() ? 0 : below(static_cast<uint32_t>(reply.size())));
    break;
  case 1: // another function code, the exception bit included
    if (!reply.empty())
      reply[0] = randomByte();
    break;
  case 2: // a byte count that disagrees with the bytes
    if (reply.size() > 1)
      reply[1] = randomByte();
    break;
  case 3: // another transmission number (scattered reads)
    if (reply.size() > 3)
      reply[3] = randomByte();
    break;
  case 4: // longer than it says
    for (uint32_t extra = 1 + below(8); extra > 0; --extra)
      reply.push_back(randomByte());
    break;
  case 5: // random bytes
    reply.resize(below(260));
    for (uint8_t &byte : reply)
      byte = randomByte();
    break;
  case 6: // an exception for any function, any code
    reply = {static_cast<uint8_t>(0x80 | below(128)), randomByte()};
    break;
  case 7: // one byte flipped anywhere
    if (!reply.empty())
      reply[below(static_cast<uint32_t>(reply.size()))] ^= static_cast<uint8_t>(1 + below(255));
    break;
  default: // the true reply
    break;
  }
  return reply;
}

void writePacket(const DL_Info &packet, uint8_t *reply, int32_t *replyLength) {
  const std::vector<uint8_t> bytes = packet.toBytes();
  if (bytes.size() > static_cast<size_t>(*replyLength)) {
    *replyLength = 0;
    return;
  }
  std::copy(bytes.begin(), bytes.end(), reply);
  *replyLength = static_cast<int32_t>(bytes.size());
}

void hostileCallback(uint32_t, const uint8_t *packet, int32_t packetLength, uint8_t *reply,
                     int32_t *replyLength) {
  ++hostile->replies;
  ByteReader in(packet, static_cast<size_t>(packetLength));
  DL_Info answer = DL_Info::read(in);
  switch (below(20)) {
  case 0: // no reply
    *replyLength = 0;
    return;
  case 1: { // bytes that are no packet at all
    const int32_t length = static_cast<int32_t>(std::min<uint32_t>(below(40), *replyLength));
    for (int32_t i = 0; i < length; ++i)
      reply[i] = static_cast<uint8_t>(below(256));
    *replyLength = length;
    return;
  }
  case 2: // a packet status of any value
    answer.status = below(9);
    break;
  default:
    break;
  }
  answer.data = mutatedReply(answer.data);
  writePacket(answer, reply, replyLength);
}

TEST(HostileReplyTest, HundredThousandMutatedRepliesNeverCrashAProcessCall) {
  HostileMeter meter;
  hostile = &meter;
  meter.meter.addUnit(1, [](RegisterBank &bank) {
    bank.map(Table::HoldingRegisters, 0, 16, 0x4142);
    bank.map(Table::Coils, 0, 4, 1);
  });
  // Two devices: block reads of registers and coils, and scattered reads.
  auto tree = makeRef<ObjList>();
  addObject<ModuleObj>(*tree, 0x100, 500, 2, "Power Meter");
  for (uint32_t handle = 0x101; handle <= 0x104; ++handle)
    addObject<RegisterObj>(*tree, handle, handle == 0x103 ? 47 : 23, 0x100, "r");
  const std::string entries =
      "<ModbusInfo ARXHandle='257' Name='a' ModbusAddress='400001' RequestType='R' "
      "Format='UINT16' Scale='10'/>"
      "<ModbusInfo ARXHandle='258' Name='b' ModbusAddress='400009' RequestType='R' "
      "Format='IEEEFLOAT'/>"
      "<ModbusInfo ARXHandle='259' Name='c' ModbusAddress='400003' RequestType='R' "
      "Format='ASCII' NumberOfRegisters='3'/>"
      "<ModbusInfo ARXHandle='260' Name='d' ModbusAddress='000002' RequestType='R' "
      "Format='UINT16'/>";
  const uint16_t blocks = meterDevices().add(*tree, entries);
  const uint16_t scattered =
      meterDevices().add(*tree, "<DeviceInfo ScatteredReadSupported='1'/>" + entries);
  const std::vector<uint8_t> requests[] = {
      programRequestFor(blocks, {{0x101, 21}, {0x102, 21}, {0x103, 21}, {0x104, 21}}),
      programRequestFor(scattered, {{0x101, 21}, {0x102, 21}, {0x103, 21}})};

  int answered = 0;
  std::vector<uint8_t> answer(4096);
  for (int call = 0; call < kCalls; ++call) {
    const std::vector<uint8_t> &request = requests[call % 2];
    int32_t length = static_cast<int32_t>(answer.size());
    if (pluginProcess()(1, request.data(), static_cast<int32_t>(request.size()), answer.data(),
                        &length, &hostileCallback)) {
      ASSERT_GT(length, 0);
      ++answered;
    }
  }
  EXPECT_GE(meter.replies, static_cast<uint64_t>(kCalls));
  // Some calls meet only true replies and answer; most meet a broken one.
  EXPECT_GT(answered, 0);
  EXPECT_LT(answered, kCalls);
  hostile = nullptr;
}

} // namespace
} // namespace arxmod::test
