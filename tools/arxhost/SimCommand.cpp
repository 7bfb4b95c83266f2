// sim: serves the simulated meter over Modbus TCP until stopped, with the
// faults given on the command line.
//
// The served unit answers every address of the four tables and the records
// of file 1; values start at 0 and move only by writes until the meter's own
// behaviour and live values are added to the simulator. Time advances the
// simulator once a second through its tick hooks.
#include "Commands.h"

#include "sim/SimulatedMeter.h"
#include "transport/ConnectionText.h"
#include "transport/ModbusTcpServer.h"

#include "base/Clock.h"

#include <ostream>

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

int simCommand(const SimOptions &options, std::ostream &out, std::stop_token stop) {
  if (options.unit < 0 || options.unit > 255)
    throw ToolError("--unit " + std::to_string(options.unit) +
                    " is not a Modbus unit number (0 to 255)");
  const auto unit = static_cast<uint8_t>(options.unit);
  arxmod::sim::SimulatedMeter meter;
  meter.addUnit(unit, [](arxmod::sim::RegisterBank &bank) {
    bank.mapAll();
    bank.mapFile(1, kFileRecords);
  });
  for (const std::string &text : options.faults)
    meter.inject(unit, faultFor(text, unit));

  std::optional<transport::ModbusTcpServer> server;
  try {
    server.emplace(options.listen, [&meter](uint8_t target, std::span<const uint8_t> pdu) {
      arxmod::sim::SimReply reply = meter.answer(target, pdu);
      return transport::ServedReply{std::move(reply.pdu), reply.delay};
    });
  } catch (const transport::ConnectionError &e) {
    throw ToolError(std::string(e.what()) + " (give --listen HOST:PORT; port 0 picks a free one)");
  }
  out << "listening on " << server->address() << std::endl;

  arxmod::Clock &clock = arxmod::currentClock();
  for (uint32_t next = clock.tickNow(); clock.waitUntilTick(next, stop); next += kTickMs)
    meter.tick(clock.wallNow());
  server->stop();
  return 0;
}

} // namespace arxhost
