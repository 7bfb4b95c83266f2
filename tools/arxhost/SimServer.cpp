// SimServer: the sample meter behind a Modbus TCP server and a ticking thread.
#include "SimServer.h"

#include "base/Clock.h"
#include "sim/MeterBehaviour.h"
#include "sim/SampleMeter.h"
#include "transport/ConnectionText.h"

namespace arxhost {
namespace {

constexpr uint32_t kTickMs = 1000;
constexpr size_t kFileRecords = 10000;

arxmod::sim::Fault faultFor(const std::string &text, uint8_t unit) {
  try {
    const arxmod::sim::FaultSpec spec = arxmod::sim::parseFaultSpec(text);
    if (spec.unit && *spec.unit != unit)
      throw ToolError("fault '" + text + "' names unit " + std::to_string(*spec.unit) +
                      ", but the simulator serves unit " + std::to_string(unit) +
                      " (set it with --unit)");
    return spec.fault;
  } catch (const arxmod::sim::FaultSpecError &e) {
    throw ToolError(std::string(e.what()) + "; see 'arxhost sim --help'");
  }
}

} // namespace

SimServer::SimServer(const SimOptions &options) {
  if (options.unit < 0 || options.unit > 255)
    throw ToolError("--unit " + std::to_string(options.unit) +
                    " is not a Modbus unit number (0 to 255)");
  const auto unit = static_cast<uint8_t>(options.unit);
  meter_.addUnit(unit, [](arxmod::sim::RegisterBank &bank) {
    bank.mapAll();
    bank.mapFile(1, kFileRecords);
    arxmod::sim::addSampleMeter(bank);
    // The meter's own registers: command interface, alarm configuration,
    // circuit labels, mode, clock and energy reset.
    arxmod::sim::addMeterBehaviour(bank);
  });
  for (const std::string &text : options.faults)
    meter_.inject(unit, faultFor(text, unit));
  try {
    server_ = std::make_unique<transport::ModbusTcpServer>(
        options.listen, [this](uint8_t target, std::span<const uint8_t> pdu) {
          arxmod::sim::SimReply reply = meter_.answer(target, pdu);
          return transport::ServedReply{std::move(reply.pdu), reply.delay};
        });
  } catch (const transport::ConnectionError &e) {
    throw ToolError(std::string(e.what()) + " (give --listen HOST:PORT; port 0 picks a free one)");
  }
  ticker_ = std::jthread([this](std::stop_token stop) {
    arxmod::Clock &clock = arxmod::currentClock();
    for (uint32_t next = clock.tickNow(); clock.waitUntilTick(next, stop); next += kTickMs)
      meter_.tick(clock.wallNow());
  });
}

SimServer::~SimServer() {
  ticker_.request_stop();
  if (ticker_.joinable())
    ticker_.join();
  server_->stop();
}

} // namespace arxhost
