// The transport core: request packets in, backend exchanges, reply packets out.
#include "transport/DeviceExchange.h"

#include "base/ContextTable.h"
#include "frame/DL_Info.h"

#include <mutex>

namespace arxhost::transport {

// Largest request PDU of the protocol (RS-485 ADU 256 - address 1 - CRC 2).
constexpr size_t kMaxPduSize = 253;

struct DeviceExchange::State {
  std::shared_ptr<Port> port;
  uint8_t unit;
  mutable std::mutex mutex;
  std::string lastFailure;

  void remember(std::string failure) {
    std::lock_guard lock(mutex);
    lastFailure = std::move(failure);
  }
  void exchange(const uint8_t *packet, int32_t packetLength, uint8_t *reply, int32_t *replyLength);
};

namespace {

arxmod::ContextTable<DeviceExchange::State> &exchanges() {
  static arxmod::ContextTable<DeviceExchange::State> table;
  return table;
}

// Writes `packet` into the reply buffer; when it does not fit, a bad-packet
// reply without data, or nothing.
void writeReply(arxmod::DL_Info packet, uint8_t *reply, int32_t *replyLength) {
  const size_t capacity = reply && *replyLength > 0 ? static_cast<size_t>(*replyLength) : 0;
  auto bytes = packet.toBytes();
  if (bytes.size() > capacity) {
    packet.status = 1;
    packet.data.clear();
    bytes = packet.toBytes();
  }
  if (bytes.size() > capacity) {
    *replyLength = 0;
    return;
  }
  std::copy(bytes.begin(), bytes.end(), reply);
  *replyLength = static_cast<int32_t>(bytes.size());
}

void badPacket(arxmod::DL_Info packet, uint8_t *reply, int32_t *replyLength) {
  packet.status = 1;
  packet.data.clear();
  writeReply(std::move(packet), reply, replyLength);
}

void transportCallback(uint32_t context, const uint8_t *packet, int32_t packetLength,
                       uint8_t *reply, int32_t *replyLength) {
  if (!replyLength)
    return;
  const auto state = exchanges().find(context);
  if (!state) {
    *replyLength = 0;
    return;
  }
  state->exchange(packet, packetLength, reply, replyLength);
}

} // namespace

void DeviceExchange::State::exchange(const uint8_t *packet, int32_t packetLength, uint8_t *reply,
                                     int32_t *replyLength) {
  arxmod::DL_Info request;
  try {
    arxmod::ByteReader in(packet, packet && packetLength > 0 ? size_t(packetLength) : 0);
    request = arxmod::DL_Info::read(in);
  } catch (const arxmod::DL_Info::DL_InfoExec &e) {
    remember(std::string("the plug-in sent a packet that cannot be read: ") + e.what());
    *replyLength = 0;
    return;
  }
  const uint32_t unitNumber = request.requestParameter ? request.requestParameter : unit;
  if (unitNumber > 255 || request.data.empty() || request.data.size() > kMaxPduSize) {
    remember("port '" + port->name() + "': cannot send a request of " +
             std::to_string(request.data.size()) + " bytes to unit " + std::to_string(unitNumber));
    badPacket(std::move(request), reply, replyLength);
    return;
  }
  const bool wantReply =
      !(request.flags & (arxmod::DL_Info::kFlagNoReply | arxmod::DL_Info::kFlagNoReplyAtAll));
  BackendResult result = port->exchange(static_cast<uint8_t>(unitNumber), request.data, wantReply);
  remember(result.detail.empty() ? std::string() : "port '" + port->name() + "': " + result.detail);
  switch (result.outcome) {
  case Outcome::Reply:
    request.status = 0;
    request.data = std::move(result.pdu);
    writeReply(std::move(request), reply, replyLength);
    return;
  case Outcome::Garbled:
    badPacket(std::move(request), reply, replyLength);
    return;
  case Outcome::NoReply:
  case Outcome::Broken:
    *replyLength = 0;
    return;
  }
}

DeviceExchange::DeviceExchange(std::shared_ptr<Port> port, uint8_t unit)
    : state_(std::make_shared<State>()) {
  state_->port = std::move(port);
  state_->unit = unit;
  context_ = exchanges().add(state_);
}

DeviceExchange::~DeviceExchange() { exchanges().remove(context_); }

ArxExchangeCallback DeviceExchange::callback() const { return &transportCallback; }

std::string DeviceExchange::lastFailure() const {
  std::lock_guard lock(state_->mutex);
  return state_->lastFailure;
}

std::unique_ptr<DeviceExchange> openDeviceExchange(const DeviceLink &link, PortPool &pool) {
  if (link.unit < 0 || link.unit > 255)
    throw ConnectionError("port '" + link.port + "': device unit " + std::to_string(link.unit) +
                          " is not a Modbus unit number (0 to 255)");
  return std::make_unique<DeviceExchange>(pool.port(link.port, link.connection),
                                          static_cast<uint8_t>(link.unit));
}

} // namespace arxhost::transport
