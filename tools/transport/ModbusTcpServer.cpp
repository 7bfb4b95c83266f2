// The accept loop and the per-client request loop of the Modbus TCP server.
#include "transport/ModbusTcpServer.h"

#include "transport/ConnectionText.h"
#include "transport/Mbap.h"
#include "transport/TcpSocket.h"

#include "base/Clock.h"

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>

namespace arxhost::transport {

ModbusTcpServer::ModbusTcpServer(const std::string &listen, PduService service, ServerLimits limits)
    : service_(std::move(service)), limits_(limits) {
  std::string host;
  parseHostPort("listen address", listen, host, port_);
  listener_ = listenTcp(host, port_);
  address_ = localAddress(listener_.get());
  port_ = static_cast<uint16_t>(std::stoul(address_.substr(address_.rfind(':') + 1)));
  acceptor_ = std::jthread([this](std::stop_token stop) { acceptLoop(stop); });
}

ModbusTcpServer::~ModbusTcpServer() { stop(); }

void ModbusTcpServer::stop() {
  acceptor_.request_stop();
  wake_.wake();
  if (acceptor_.joinable())
    acceptor_.join();
  std::list<Client> clients;
  {
    std::lock_guard lock(mutex_);
    clients.swap(clients_);
  }
  for (Client &client : clients)
    client.thread.request_stop();
  clients.clear(); // joins every client thread
}

size_t ModbusTcpServer::clientCount() const {
  std::lock_guard lock(mutex_);
  size_t count = 0;
  for (const Client &client : clients_)
    count += !client.done;
  return count;
}

void ModbusTcpServer::reapClients() {
  std::list<Client> gone;
  {
    std::lock_guard lock(mutex_);
    for (auto it = clients_.begin(); it != clients_.end();) {
      const auto next = std::next(it);
      if (it->done)
        gone.splice(gone.end(), clients_, it);
      it = next;
    }
  }
  gone.clear(); // joins threads that have already returned
}

void ModbusTcpServer::acceptLoop(std::stop_token stop) {
  while (!stop.stop_requested()) {
    if (waitReady(listener_.get(), POLLIN, std::nullopt, wake_.readEnd()).status != IoStatus::Done)
      return;
    FileDescriptor socket(
        ::accept4(listener_.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
    if (!socket.valid())
      continue;
    reapClients();
    if (clientCount() >= limits_.maxClients)
      continue; // closed on leaving the scope
    const int one = 1;
    setsockopt(socket.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    std::lock_guard lock(mutex_);
    Client &client = clients_.emplace_back();
    client.socket = std::move(socket);
    client.thread = std::jthread([this, &client](std::stop_token clientStop) {
      serve(client, clientStop);
      client.socket.reset();
      std::lock_guard doneLock(mutex_);
      client.done = true;
    });
  }
}

void ModbusTcpServer::serve(Client &client, std::stop_token stop) {
  const int fd = client.socket.get();
  const int wake = wake_.readEnd();
  while (!stop.stop_requested()) {
    // An idle client may wait for ever; a frame, once begun, must be complete in time.
    uint8_t head[kMbapHeaderSize];
    if (waitReady(fd, POLLIN, std::nullopt, wake).status != IoStatus::Done)
      return;
    const uint32_t deadline = deadlineIn(limits_.frameTimeoutMs);
    if (readExact(fd, head, deadline, wake).status != IoStatus::Done)
      return;
    const auto header = readMbapHeader(std::span<const uint8_t, kMbapHeaderSize>(head));
    if (!header)
      return;
    std::vector<uint8_t> pdu(header->pduSize());
    if (readExact(fd, pdu, deadline, wake).status != IoStatus::Done)
      return;
    ServedReply reply = service_(header->unit, pdu);
    if (reply.delay.count() > 0) {
      arxmod::Clock &clock = arxmod::currentClock();
      if (!clock.waitUntilTick(clock.tickNow() + static_cast<uint32_t>(reply.delay.count()), stop))
        return;
    }
    if (!reply.pdu)
      continue;
    const auto frame = mbapFrame(header->transaction, header->unit, *reply.pdu);
    if (writeAll(fd, frame, deadlineIn(limits_.frameTimeoutMs), wake).status != IoStatus::Done)
      return;
  }
}

} // namespace arxhost::transport
