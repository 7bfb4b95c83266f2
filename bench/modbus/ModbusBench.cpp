// Cost of the Modbus transaction for a 300-entry map read in one pass:
// placing the reads in messages and building their PDUs (block reads and
// scattered reads), delivering the meter's replies into responses, and the
// plan that `arxhost plan` prints. The counters report the messages formed.
#include "map/ModbusFormat.h"
#include "modbus/ModbusTransaction.h"
#include "sim/SimulatedMeter.h"

#include <benchmark/benchmark.h>

namespace {

using arxmod::IRefPtr;
using arxmod::makeRef;
using XLARX::ModbusTransaction;

constexpr size_t kEntries = 300;

// Entry i: three registers apart from the one before, formats of one, two
// and four registers in turn, as a meter's value table is laid out.
struct Entry {
  std::string address;
  uint32_t format;
  uint16_t registers;
};
const std::vector<Entry> &entries() {
  static const std::vector<Entry> all = [] {
    const uint32_t formats[] = {XLARX::MBF_U16_21, XLARX::MBF_F32_4321, XLARX::MBF_S32_4321,
                                XLARX::MBF_U64_87_21};
    std::vector<Entry> made;
    for (size_t i = 0; i < kEntries; ++i) {
      const uint32_t format = formats[i % 4];
      made.push_back({std::to_string(400001 + 3 * i), format, XLARX::formatRegisterCount(format)});
    }
    return made;
  }();
  return all;
}

IRefPtr<arxmod::TransactionConfig> config(bool scattered) {
  auto made = makeRef<arxmod::TransactionConfig>();
  made->scatteredReadSupported = scattered;
  return made;
}

IRefPtr<ModbusTransaction> placed(const IRefPtr<arxmod::TransactionConfig> &limits) {
  auto t = makeRef<ModbusTransaction>(nullptr, limits);
  for (const Entry &e : entries())
    t->createRead(e.address, static_cast<int32_t>(e.format), 0xFFFFFFFF, e.registers, false, -1);
  return t;
}

void placeAndBuild(benchmark::State &state, bool scattered) {
  const auto limits = config(scattered);
  size_t messages = 0;
  for (auto _ : state) {
    auto t = placed(limits);
    std::vector<uint8_t> pdu;
    for (size_t i = 0; i < t->requestCount(); ++i)
      t->requestBytes(i, pdu);
    messages = t->requestCount();
    benchmark::DoNotOptimize(pdu.data());
  }
  state.counters["messages"] = static_cast<double>(messages);
}
void BM_PlaceAndBuild300BlockReads(benchmark::State &state) { placeAndBuild(state, false); }
void BM_PlaceAndBuild300ScatteredReads(benchmark::State &state) { placeAndBuild(state, true); }
BENCHMARK(BM_PlaceAndBuild300BlockReads);
BENCHMARK(BM_PlaceAndBuild300ScatteredReads);

// Placement, PDUs and the delivery of the meter's replies (computed once,
// outside the timing) into 300 decoded responses.
void BM_Refresh300Reads(benchmark::State &state) {
  const auto limits = config(false);
  arxmod::sim::SimulatedMeter meter;
  meter.addUnit(1, [](arxmod::sim::RegisterBank &bank) { bank.mapAll(); });
  std::vector<std::vector<uint8_t>> replies;
  {
    auto t = placed(limits);
    std::vector<uint8_t> pdu;
    for (size_t i = 0; i < t->requestCount(); ++i) {
      t->requestBytes(i, pdu);
      replies.push_back(*meter.answer(1, pdu).pdu);
    }
  }
  for (auto _ : state) {
    auto t = placed(limits);
    std::vector<uint8_t> pdu;
    for (size_t i = 0; i < t->requestCount(); ++i) {
      t->requestBytes(i, pdu);
      t->deliver(i, XL::ResponseOkay, replies[i].data(), replies[i].size());
    }
    benchmark::DoNotOptimize(t->responses().back().get());
  }
  state.counters["messages"] = static_cast<double>(replies.size());
}
BENCHMARK(BM_Refresh300Reads);

void BM_Plan300Reads(benchmark::State &state) {
  const auto t = placed(config(false));
  for (auto _ : state)
    benchmark::DoNotOptimize(t->plan());
}
BENCHMARK(BM_Plan300Reads);

} // namespace
