// Programs of (handle, method) statements as a host sends them, shared by
// the translator benchmarks: the encoded program, and the execute request
// packet that carries it; and the runs of their throughput benchmarks.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>
#include <utility>
#include <vector>

namespace arxmod::bench {

using HandleMethod = std::pair<uint32_t, uint32_t>;

std::vector<uint8_t> programBytes(const std::vector<HandleMethod> &statements);
std::vector<uint8_t> executeRequest(uint16_t device, const std::vector<uint8_t> &programBytes);

// 1, 2 and 4 threads on wall time, each the median of five runs, since a
// shared machine's second core varies: BENCHMARK(...)->Apply(throughputRuns).
void throughputRuns(benchmark::internal::Benchmark *runs);

} // namespace arxmod::bench
