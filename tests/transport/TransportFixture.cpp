// Exchange calls, the served simulated meter and scripted peers.
#include "TransportFixture.h"

#include "transport/Mbap.h"
#include "transport/TcpSocket.h"

#include <poll.h>
#include <sys/socket.h>

namespace arxhost::transport::test {

CallResult call(const DeviceExchange &exchange, const Bytes &pdu, uint32_t requestParameter,
                uint8_t flags) {
  arxmod::DL_Info packet;
  packet.deviceId = 12;
  packet.requestParameter = requestParameter;
  packet.flags = flags;
  packet.hostWord3 = 0xCAFE;
  packet.data = pdu;
  const Bytes request = packet.toBytes();
  Bytes buffer(1024);
  CallResult result;
  result.length = static_cast<int32_t>(buffer.size());
  exchange.callback()(exchange.context(), request.data(), static_cast<int32_t>(request.size()),
                      buffer.data(), &result.length);
  if (result.length > 0) {
    arxmod::ByteReader in(buffer.data(), static_cast<size_t>(result.length));
    result.reply = arxmod::DL_Info::read(in);
  }
  return result;
}

void addStandardUnit(arxmod::sim::SimulatedMeter &meter, uint8_t unit) {
  using arxmod::sim::Table;
  meter.addUnit(unit, [](arxmod::sim::RegisterBank &bank) {
    bank.map(Table::HoldingRegisters, 0, 100);
    bank.map(Table::InputRegisters, 0, 10);
    bank.map(Table::Coils, 0, 16);
    bank.map(Table::DiscreteInputs, 0, 16);
    for (uint16_t a = 0; a < 100; ++a)
      bank.set(Table::HoldingRegisters, a, a);
    for (uint16_t a = 0; a < 16; ++a) {
      bank.set(Table::Coils, a, a % 2);
      bank.set(Table::DiscreteInputs, a, a % 2);
      if (a < 10)
        bank.set(Table::InputRegisters, a, static_cast<uint16_t>(0x100 + a));
    }
  });
}

SimServer::SimServer(ServerLimits limits) {
  addStandardUnit(meter, 1);
  server.emplace(
      "127.0.0.1:0",
      [this](uint8_t unit, std::span<const uint8_t> pdu) {
        arxmod::sim::SimReply reply = meter.answer(unit, pdu);
        return ServedReply{std::move(reply.pdu), reply.delay};
      },
      limits);
}

ScriptedPeer::ScriptedPeer(Script script)
    : listener_(listenTcp("127.0.0.1", 0)), script_(std::move(script)) {
  thread_ = std::thread([this] {
    for (;;) {
      if (waitReady(listener_.get(), POLLIN, std::nullopt, wake_.readEnd()).status !=
          IoStatus::Done)
        return;
      FileDescriptor fd(::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK));
      if (!fd.valid())
        continue;
      ++accepted_;
      current_ = fd.get();
      script_(fd.get());
      current_ = -1;
    }
  });
}

ScriptedPeer::~ScriptedPeer() {
  wake_.wake();
  if (const int fd = current_; fd >= 0)
    ::shutdown(fd, SHUT_RDWR); // ends a script that waits for a request
  thread_.join();
}

std::string ScriptedPeer::connection(const std::string &query) const {
  return "tcp://" + localAddress(listener_.get()) + query;
}

std::optional<Request> readRequest(int fd) {
  uint8_t head[kMbapHeaderSize];
  if (readExact(fd, head, deadlineIn(1000)).status != IoStatus::Done)
    return std::nullopt;
  const auto header = readMbapHeader(std::span<const uint8_t, kMbapHeaderSize>(head));
  if (!header)
    return std::nullopt;
  Request request{header->transaction, header->unit, Bytes(header->pduSize())};
  if (readExact(fd, request.pdu, deadlineIn(1000)).status != IoStatus::Done)
    return std::nullopt;
  return request;
}

void send(int fd, const Bytes &bytes) { writeAll(fd, bytes, deadlineIn(1000)); }

} // namespace arxhost::transport::test
