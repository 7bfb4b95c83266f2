// Helpers of the transport tests: exchange calls as the plug-in makes them,
// the simulated meter served over Modbus TCP, and scripted TCP peers that
// answer as a hostile or broken server would.
#pragma once

#include "frame/DL_Info.h"
#include "sim/SimulatedMeter.h"
#include "transport/DeviceExchange.h"
#include "transport/ModbusTcpServer.h"

#include <atomic>
#include <functional>
#include <optional>
#include <thread>
#include <vector>

namespace arxhost::transport::test {

using Bytes = std::vector<uint8_t>;

struct CallResult {
  int32_t length = 0;
  std::optional<arxmod::DL_Info> reply;
  uint32_t status() const { return reply ? reply->status : 0xFFFFFFFF; }
  Bytes pdu() const { return reply ? reply->data : Bytes{}; }
};

// One call of the exchange callback with a packet carrying `pdu`.
CallResult call(const DeviceExchange &exchange, const Bytes &pdu, uint32_t requestParameter = 0,
                uint8_t flags = 0);

// Unit 1 with holding registers 0-99 (value = address), input registers 0-9
// (0x100 + address), coils and discrete inputs 0-15 (every odd one set).
void addStandardUnit(arxmod::sim::SimulatedMeter &meter, uint8_t unit);

// The simulated meter behind a Modbus TCP server on 127.0.0.1, any free port.
class SimServer {
public:
  explicit SimServer(ServerLimits limits = {});
  std::string connection() const { return "tcp://" + server->address(); }

  arxmod::sim::SimulatedMeter meter;
  std::optional<ModbusTcpServer> server;
};

// A TCP server on 127.0.0.1 that runs `script` on each accepted connection,
// one at a time, in its own thread, until destroyed.
class ScriptedPeer {
public:
  using Script = std::function<void(int fd)>;
  explicit ScriptedPeer(Script script);
  ~ScriptedPeer();
  std::string connection(const std::string &query = "") const;
  int accepted() const { return accepted_; }

private:
  FileDescriptor listener_;
  WakePipe wake_;
  Script script_;
  std::atomic<int> accepted_{0};
  std::atomic<int> current_{-1}; // the connection the script is serving
  std::thread thread_;
};

// Reads one MBAP request frame from `fd` (1 s at most): its transaction, unit and PDU.
struct Request {
  uint16_t transaction = 0;
  uint8_t unit = 0;
  Bytes pdu;
};
std::optional<Request> readRequest(int fd);
void send(int fd, const Bytes &bytes);

} // namespace arxhost::transport::test
