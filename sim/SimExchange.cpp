// The exchange callback in front of the simulated meter.
#include "sim/SimExchange.h"

#include "base/ContextTable.h"
#include "frame/DL_Info.h"

#include <limits>

namespace arxmod::sim {

struct SimExchange::Link {
  SimulatedMeter &meter;
  uint8_t defaultUnit;
  std::chrono::milliseconds replyTimeout;
};

namespace {

ContextTable<SimExchange::Link> &links() {
  static ContextTable<SimExchange::Link> table;
  return table;
}

// Writes `packet` into the reply buffer; when it does not fit, a bad-packet
// reply without data, or nothing.
void writeReply(DL_Info packet, uint8_t *reply, int32_t *replyLength) {
  const int32_t capacity = reply ? std::max(*replyLength, 0) : 0;
  auto bytes = packet.toBytes();
  if (bytes.size() > static_cast<size_t>(capacity)) {
    packet.status = 1;
    packet.data.clear();
    bytes = packet.toBytes();
  }
  if (bytes.size() > static_cast<size_t>(capacity)) {
    *replyLength = 0;
    return;
  }
  std::copy(bytes.begin(), bytes.end(), reply);
  *replyLength = static_cast<int32_t>(bytes.size());
}

void exchangeWith(const SimExchange::Link &link, const uint8_t *packet, int32_t packetLength,
                  uint8_t *reply, int32_t *replyLength) {
  DL_Info request;
  try {
    ByteReader in(packet, packet && packetLength > 0 ? static_cast<size_t>(packetLength) : 0);
    request = DL_Info::read(in);
  } catch (const DL_Info::DL_InfoExec &) {
    *replyLength = 0; // nothing to answer a packet that cannot be read
    return;
  }
  if (request.requestParameter > std::numeric_limits<uint8_t>::max()) {
    request.data.clear();
    request.status = 1;
    writeReply(std::move(request), reply, replyLength);
    return;
  }
  const uint8_t unit =
      request.requestParameter ? static_cast<uint8_t>(request.requestParameter) : link.defaultUnit;
  SimReply answer = link.meter.answer(unit, request.data);
  const bool wanted = !(request.flags & (DL_Info::kFlagNoReply | DL_Info::kFlagNoReplyAtAll));
  if (!answer.pdu || !wanted || answer.delay >= link.replyTimeout) {
    *replyLength = 0;
    return;
  }
  if (answer.delay.count() > 0) {
    Clock &clock = currentClock();
    clock.waitUntilTick(clock.tickNow() + static_cast<uint32_t>(answer.delay.count()), {});
  }
  request.data = std::move(*answer.pdu);
  request.status = 0;
  writeReply(std::move(request), reply, replyLength);
}

void simCallback(uint32_t context, const uint8_t *packet, int32_t packetLength, uint8_t *reply,
                 int32_t *replyLength) {
  if (!replyLength)
    return;
  const auto link = links().find(context);
  if (!link) {
    *replyLength = 0;
    return;
  }
  exchangeWith(*link, packet, packetLength, reply, replyLength);
}

} // namespace

SimExchange::SimExchange(SimulatedMeter &meter, uint8_t defaultUnit,
                         std::chrono::milliseconds replyTimeout)
    : link_(std::make_shared<Link>(Link{meter, defaultUnit, replyTimeout})),
      context_(links().add(link_)) {}

SimExchange::~SimExchange() { links().remove(context_); }

ArxExchangeCallback SimExchange::callback() { return &simCallback; }

} // namespace arxmod::sim
