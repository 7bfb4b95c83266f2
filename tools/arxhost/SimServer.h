// SimServer: the simulated meter served over Modbus TCP, with its time
// moving once a second, for `arxhost sim` and the demo.
//
// The served unit answers every address of the four tables and the records
// of file 1. Where the sample map reads, it holds the sample meter's live
// values (sim/SampleMeter.h), and the meter's own registers behave as a
// meter's do (sim/MeterBehaviour.h: commands, alarm configuration, circuit
// labels, clock, energy reset); every other address holds 0 until written.
//
//   SimServer server(options);           // listening once made
//   std::cout << "listening on " << server.address() << "\n";
//   ...                                   // the destructor stops it
#pragma once

#include "Commands.h"
#include "sim/SimulatedMeter.h"
#include "transport/ModbusTcpServer.h"

#include <memory>
#include <string>
#include <thread>

namespace arxhost {

class SimServer {
public:
  // Starts serving; ToolError for a unit outside 0 to 255, a fault that
  // does not parse or names another unit, and an address it cannot use.
  explicit SimServer(const SimOptions &options);
  ~SimServer();
  SimServer(const SimServer &) = delete;
  SimServer &operator=(const SimServer &) = delete;

  // "127.0.0.1:40123": where it listens, with the port it got.
  const std::string &address() const { return server_->address(); }
  arxmod::sim::SimulatedMeter &meter() { return meter_; }

private:
  arxmod::sim::SimulatedMeter meter_;
  std::unique_ptr<transport::ModbusTcpServer> server_;
  std::jthread ticker_;
};

} // namespace arxhost
