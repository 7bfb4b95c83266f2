// Cost of one Modbus exchange at each layer the host side adds: the
// simulated meter answering a PDU, the exchange callback in front of it, and
// a whole round trip through the TCP transport to the simulator's server on
// loopback.
#include "sim/SimExchange.h"
#include "transport/DeviceExchange.h"
#include "transport/ModbusTcpServer.h"

#include "frame/DL_Info.h"

#include <benchmark/benchmark.h>

namespace {

using arxmod::sim::RegisterBank;
using arxmod::sim::SimulatedMeter;
using arxmod::sim::Table;

const std::vector<uint8_t> kRead125{3, 0, 0, 0, 125}; // the largest register read

void addUnit(SimulatedMeter &meter) {
  meter.addUnit(1, [](RegisterBank &bank) { bank.map(Table::HoldingRegisters, 0, 1000, 7); });
}

std::vector<uint8_t> requestPacket() {
  arxmod::DL_Info packet;
  packet.requestParameter = 1;
  packet.data = kRead125;
  return packet.toBytes();
}

void callExchange(benchmark::State &state, ArxExchangeCallback callback, uint32_t context) {
  const auto request = requestPacket();
  std::vector<uint8_t> reply(1024);
  for (auto _ : state) {
    int32_t length = static_cast<int32_t>(reply.size());
    callback(context, request.data(), static_cast<int32_t>(request.size()), reply.data(), &length);
    if (length <= 0)
      state.SkipWithError("no reply");
    benchmark::DoNotOptimize(reply.data());
  }
}

void BM_SimulatedMeterAnswer(benchmark::State &state) {
  SimulatedMeter meter;
  addUnit(meter);
  for (auto _ : state)
    benchmark::DoNotOptimize(meter.answer(1, kRead125));
}
BENCHMARK(BM_SimulatedMeterAnswer);

void BM_SimExchangeCallback(benchmark::State &state) {
  SimulatedMeter meter;
  addUnit(meter);
  arxmod::sim::SimExchange exchange(meter, 1);
  callExchange(state, arxmod::sim::SimExchange::callback(), exchange.context());
}
BENCHMARK(BM_SimExchangeCallback);

void BM_TcpRoundTrip(benchmark::State &state) {
  SimulatedMeter meter;
  addUnit(meter);
  arxhost::transport::ModbusTcpServer server(
      "127.0.0.1:0", [&](uint8_t unit, std::span<const uint8_t> pdu) {
        auto reply = meter.answer(unit, pdu);
        return arxhost::transport::ServedReply{std::move(reply.pdu), reply.delay};
      });
  arxhost::transport::PortPool pool;
  const auto exchange =
      arxhost::transport::openDeviceExchange({"Bench", "tcp://" + server.address(), 1}, pool);
  callExchange(state, exchange->callback(), exchange->context());
}
BENCHMARK(BM_TcpRoundTrip)->UseRealTime();

} // namespace
