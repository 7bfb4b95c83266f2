// The machine's own two-thread scaling, the reference for the throughput
// figures: each thread builds and reads a small table of its own (heap
// allocations, hashing, copies, like a Process call's work) and shares
// nothing with the other. On a machine whose second core is busy with other
// work (a virtual machine's neighbours) this falls below 2, and the
// plug-in's throughput figures cannot rise above it.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <string>
#include <unordered_map>

namespace {

void BM_MachineScalingPrivateWork(benchmark::State &state) {
  uint32_t seed = 17u + static_cast<uint32_t>(state.thread_index());
  for (auto _ : state) {
    std::unordered_map<uint32_t, std::string> table;
    for (int i = 0; i < 100; ++i) {
      seed = seed * 1664525u + 1013904223u;
      table.emplace(seed, std::string(24 + (seed & 15), 'v'));
    }
    size_t sum = 0;
    for (const auto &[key, value] : table)
      sum += key + value.size();
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_MachineScalingPrivateWork)
    ->Threads(1)
    ->Threads(2)
    ->UseRealTime()
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);

} // namespace
