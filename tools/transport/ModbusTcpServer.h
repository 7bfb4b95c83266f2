// ModbusTcpServer: serves a Modbus unit model (the simulated meter) over
// Modbus TCP to any number of clients up to a limit, one thread each.
//
// A request frame goes to the service with its unit and PDU; its reply goes
// back with the same transaction identifier and unit, after the delay the
// service asks for; no reply sends nothing. A client whose frame header
// cannot be trusted (protocol not 0, a length outside 2 to 254), or that
// stops in the middle of a frame for longer than the frame timeout, is
// disconnected; a client beyond the limit is disconnected on arrival. stop()
// (and the destructor) ends every thread, waiting or not.
//
//   ModbusTcpServer server("127.0.0.1:0", [&](uint8_t unit, std::span<const uint8_t> pdu) {...});
//   std::cout << "listening on " << server.address() << "\n";
#pragma once

#include "transport/Io.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <span>
#include <stop_token>
#include <string>
#include <thread>
#include <vector>

namespace arxhost::transport {

struct ServedReply {
  std::optional<std::vector<uint8_t>> pdu; // none: send nothing
  std::chrono::milliseconds delay{0};
};

using PduService = std::function<ServedReply(uint8_t unit, std::span<const uint8_t> pdu)>;

struct ServerLimits {
  size_t maxClients = 16;
  uint32_t frameTimeoutMs = 5000; // from the first byte of a frame to its last
};

class ModbusTcpServer {
public:
  // Listens on "HOST:PORT" (port 0: a free one) and starts accepting.
  // ConnectionError names the address and why it cannot be used.
  ModbusTcpServer(const std::string &listen, PduService service, ServerLimits limits = {});
  ~ModbusTcpServer();
  ModbusTcpServer(const ModbusTcpServer &) = delete;
  ModbusTcpServer &operator=(const ModbusTcpServer &) = delete;

  // The address it listens on, with the port it got: "127.0.0.1:40123".
  const std::string &address() const { return address_; }
  uint16_t port() const { return port_; }
  // Clients connected now.
  size_t clientCount() const;

  void stop();

private:
  struct Client {
    FileDescriptor socket;
    std::jthread thread;
    bool done = false;
  };

  void acceptLoop(std::stop_token stop);
  void serve(Client &client, std::stop_token stop);
  // Joins and forgets the threads of clients that have gone.
  void reapClients();

  PduService service_;
  ServerLimits limits_;
  FileDescriptor listener_;
  std::string address_;
  uint16_t port_ = 0;
  WakePipe wake_;
  mutable std::mutex mutex_;
  std::list<Client> clients_;
  std::jthread acceptor_;
};

} // namespace arxhost::transport
