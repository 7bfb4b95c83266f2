// Fakes for the frame's tests.
#include "FrameFixtures.h"

#include <algorithm>

namespace arxmod::test {

ScriptedHost *ScriptedHost::current = nullptr;

void ScriptedHost::callback(uint32_t, const uint8_t *packet, int32_t length, uint8_t *reply,
                            int32_t *replyLength) {
  ScriptedHost &host = *current;
  ByteReader in(packet, static_cast<size_t>(length));
  host.sent.push_back(DL_Info::read(in));
  if (host.replies.empty()) {
    *replyLength = 0;
    return;
  }
  ScriptedReply next = host.replies.front();
  host.replies.pop_front();
  if (next.noReply) {
    *replyLength = 0;
    return;
  }
  DL_Info answer = host.sent.back();
  answer.status = next.status;
  answer.data = next.data;
  const auto bytes = answer.toBytes();
  const size_t copied = std::min(bytes.size(), static_cast<size_t>(*replyLength));
  std::copy_n(bytes.begin(), copied, reply);
  *replyLength = next.rawLength.value_or(static_cast<int32_t>(copied));
}

void addTranslators(const TempHostDatabase &db) {
  db.exec("INSERT INTO Translator VALUES(1,'MX4110_4120',7,'mx4110_4120.so'),"
          "(2,'Other',8,'other.so')");
}

IRefPtr<LegacyDLITransaction> channelTransaction(int32_t answerCapacity, uint8_t flags) {
  DL_Info packet = requestPacket(9, 1, channelEnvelope());
  packet.flags = flags;
  const auto bytes = packet.toBytes();
  ByteReader in(bytes);
  return makeRef<LegacyDLITransaction>(in, 42, &ScriptedHost::callback, answerCapacity);
}

} // namespace arxmod::test
