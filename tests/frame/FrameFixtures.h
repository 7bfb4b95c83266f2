// Fakes for the frame's tests: a scripted exchange callback that records
// every packet the plug-in sends, a serial transaction with fixed request
// bytes, and a LegacyDLITransaction built from a channel request.
#pragma once

#include "PacketBuilder.h"
#include "TempHostDatabase.h"
#include "frame/LegacyDLITransaction.h"

#include <deque>
#include <functional>
#include <optional>

namespace arxmod::test {

// What the fake host answers for one exchange: a reply packet status and
// data, or no reply at all (length 0), or a raw length to return.
struct ScriptedReply {
  uint32_t status = 0;
  std::vector<uint8_t> data;
  bool noReply = false;
  std::optional<int32_t> rawLength;
};
inline ScriptedReply reply(uint32_t status, std::vector<uint8_t> data = {}) {
  ScriptedReply r;
  r.status = status;
  r.data = std::move(data);
  return r;
}
inline ScriptedReply silence() {
  ScriptedReply r;
  r.noReply = true;
  return r;
}
// A good reply packet whose length the host misreports.
inline ScriptedReply misreportedLength(int32_t length) {
  ScriptedReply r = reply(0, {1, 2});
  r.rawLength = length;
  return r;
}

class ScriptedHost {
public:
  static ScriptedHost *current;
  ScriptedHost() { current = this; }
  ~ScriptedHost() { current = nullptr; }

  std::deque<ScriptedReply> replies;
  std::vector<DL_Info> sent;

  static void callback(uint32_t context, const uint8_t *packet, int32_t length, uint8_t *reply,
                       int32_t *replyLength);
};

class FakeSerialTransaction : public XL::SerialTransaction {
public:
  FakeSerialTransaction(IRefPtr<XL::Transaction> parent, size_t count)
      : XL::SerialTransaction(std::move(parent)), count_(count) {}

  bool requestBytes(size_t index, std::vector<uint8_t> &bytes) override {
    bytes = {static_cast<uint8_t>(index)};
    return true;
  }
  bool deliver(size_t index, XL::ResponseStatus status, const uint8_t *bytes,
               size_t length) override {
    delivered.push_back({index, status, std::vector<uint8_t>(bytes, bytes + length)});
    return true;
  }
  size_t requestCount() const override { return count_; }
  bool noReplyAtAll() const override { return silent; }
  bool noReply(size_t index) const override { return index == noReplyIndex; }
  uint32_t requestParameter(size_t index) const override { return 100 + uint32_t(index); }
  uint32_t noReplyDeviceId() const override { return 77; }

  struct Delivery {
    size_t index;
    XL::ResponseStatus status;
    std::vector<uint8_t> bytes;
  };
  std::vector<Delivery> delivered;
  bool silent = false;
  size_t noReplyIndex = SIZE_MAX;

private:
  size_t count_;
};

// The translator rows every frame test sees. The translator table is read
// once per process, so all tests of this program must agree on them.
void addTranslators(const TempHostDatabase &db);

IRefPtr<LegacyDLITransaction> channelTransaction(int32_t answerCapacity = 4096, uint8_t flags = 0);

} // namespace arxmod::test
