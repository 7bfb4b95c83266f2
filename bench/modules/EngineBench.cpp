// Calculation engine benchmarks: one pass of 10,000 devices with 10 virtual
// modules each on 2 engine threads.
//
// Target: a full pass of all devices in under 250 ms, a quarter of the
// 1,000 ms tick. The devices share one tree and map (as devices of one type
// share a map) and each has its own value cache. Every pass finds new
// values at the sources, the worst case: each minimum and maximum takes a
// new value, each average a new sample, each feedback a pulse.
//
// BM_FullPass drives the two engines' ticks on two threads of its own and
// times them with the steady clock (manual time); BM_EngineThreads lets the
// engines tick on their own threads on the system clock, one iteration per
// second, and takes the pass time the engines record. Both report the
// engines' own statistics per pass (the slower engine's pass and CPU time,
// the module-list locks taken, failed try-locks, waits for a busy list) and
// the process's resident memory.
#include "ModuleFixture.h"
#include "modules/EnginePool.h"

#include <benchmark/benchmark.h>

#include <fstream>
#include <thread>
#include <unistd.h>

using namespace XLARX;

namespace {

constexpr uint32_t kDevices = 10'000;
constexpr uint32_t kEngines = 2;
constexpr uint32_t kLowSources = 0x10;  // 0x10 to 0x13: minimum sources
constexpr uint32_t kHighSources = 0x14; // 0x14 to 0x17: maximum sources
constexpr uint32_t kPulses = 0x18;

// The tree and map every device shares: two minimums, two maximums, an
// average and an RMS, a periodic timer, a feedback, an external number
// and diagnostics.
test::ModuleFixture &sharedType() {
  // The fixture's own clock stamps nothing here; the engines read the
  // system clock.
  static arxmod::ManualClock unused;
  static test::ModuleFixture type(1, &unused);
  return type;
}

std::vector<uint32_t> sources(uint32_t first) { return {first, first + 1, first + 2, first + 3}; }

const arxmod::IRefPtr<ModuleDevice> &typeDevice() {
  static const bool built = [] {
    test::ModuleFixture &type = sharedType();
    for (uint32_t handle = kLowSources; handle < kPulses; ++handle)
      type.addRegister(handle, 25, "V" + std::to_string(handle));
    type.addRegister(kPulses, 26, "kWh pulses");
    type.addExtremum(0x100, 511, sources(kLowSources));
    type.addExtremum(0x200, 511, sources(kLowSources));
    type.addExtremum(0x300, 512, sources(kHighSources));
    type.addExtremum(0x400, 512, sources(kHighSources));
    type.addAveraging(0x500, sources(kLowSources), "Average Mode");
    type.addAveraging(0x600, sources(kHighSources), "RMS Mode");
    type.addPeriodicTimer(0x700, "900u", "No Trig on Sync");
    type.addFeedback(0x800, kPulses);
    type.addExternal(0x900, 546);
    auto &diagnostics = type.addModule(0xA00, 525, "DIA", {}, {});
    type.addRegister(0xA01, 23, "DIA NumCalcSecDevice");
    type.addRegister(0xA02, 23, "DIA LastCalcPeriodThread");
    diagnostics.setOutputs(std::vector<uint32_t>{0xA01, 0xA02});
    type.device();
    return true;
  }();
  static_cast<void>(built);
  return sharedType().device();
}

struct Devices {
  std::vector<arxmod::IRefPtr<KernelInfo>> kernels;
  std::vector<std::unique_ptr<CalculationEngine>> engines;
};

Devices &devices() {
  static Devices made = [] {
    const ModuleDevice &type = *typeDevice();
    const std::vector<uint32_t> handles = type.map->calculatedHandles();
    Devices built;
    for (uint32_t number = 1; number <= kEngines; ++number)
      built.engines.push_back(std::make_unique<CalculationEngine>(
          number, kEngines, [](uint32_t, bool) { return true; }));
    for (uint32_t id = 1; id <= kDevices; ++id) {
      auto cache = arxmod::makeRef<Cache>(type.tree, "device", id);
      auto device = arxmod::makeRef<ModuleDevice>(id, cache, type.tree, type.map);
      auto kernel = arxmod::makeRef<KernelInfo>(id, type.map, cache, type.tree,
                                                buildModuleList(device, handles));
      built.engines[id % kEngines]->addDevice(kernel);
      built.kernels.push_back(std::move(kernel));
    }
    return built;
  }();
  return made;
}

// New values at every source of every device: the minimums' sources fall,
// the maximums' rise, the pulse counter counts.
void feedSources(int round) {
  arxmod::MemoryBlob blob(256);
  auto *number = blob.make<arxmod::Float64Type>(0.0);
  auto *pulses = blob.make<arxmod::UnsignedType>(0u);
  const arxmod::Clock &clock = arxmod::currentClock();
  const double now = arxmod::unixSeconds(clock.wallNow());
  const uint32_t tick = clock.tickNow();
  for (const auto &kernel : devices().kernels) {
    Cache::Access values = kernel->cache->access();
    for (uint32_t handle = kLowSources; handle < kPulses; ++handle) {
      number->set(handle < kHighSources ? -round : round);
      values.obtain(handle, kCacheRefreshable).store(*number, now, tick);
    }
    pulses->set(static_cast<uint32_t>(round));
    values.obtain(kPulses, kCacheRefreshable).store(*pulses, now, tick);
  }
}

double residentMegabytes() {
  long pages = 0, resident = 0;
  std::ifstream("/proc/self/statm") >> pages >> resident;
  return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) / 1e6;
}

// The mean of a running mean's samples from `before` to `after`.
double windowMean(double meanBefore, uint64_t countBefore, double meanAfter, uint64_t countAfter) {
  if (countAfter <= countBefore)
    return 0;
  return (meanAfter * static_cast<double>(countAfter) -
          meanBefore * static_cast<double>(countBefore)) /
         static_cast<double>(countAfter - countBefore);
}

void reportEngines(benchmark::State &state, const std::vector<ThreadCalcStatistics> &before,
                   const std::vector<ThreadCalcStatistics> &after) {
  double slowestMs = 0, cpuMs = 0;
  uint64_t enters = 0, tryFails = 0, blocks = 0, passes = 0;
  for (size_t i = 0; i < after.size(); ++i) {
    const ThreadCalcStatistics &b = before[i], &a = after[i];
    slowestMs = std::max(
        slowestMs, windowMean(b.avgCalcPeriodMs, b.numCalcSec, a.avgCalcPeriodMs, a.numCalcSec));
    cpuMs = std::max(
        cpuMs, windowMean(b.avgCpuTimeTotalMs, b.numCalcSec, a.avgCpuTimeTotalMs, a.numCalcSec));
    passes = std::max(passes, a.numCalcSec - b.numCalcSec);
    enters += a.numCritEnters - b.numCritEnters;
    tryFails += a.numTryEnterFails - b.numTryEnterFails;
    blocks += a.numCritBlocks - b.numCritBlocks;
  }
  const double perPass = passes ? static_cast<double>(passes) : 1.0;
  state.counters["AvgCalcPeriodThread_ms"] = slowestMs;
  state.counters["AvgCPUTimeTotalThread_ms"] = cpuMs;
  state.counters["NumCritEntersThread_per_pass"] = static_cast<double>(enters) / perPass;
  state.counters["NumTryEnterFailsThread_per_pass"] = static_cast<double>(tryFails) / perPass;
  state.counters["NumCritBlocksThread_per_pass"] = static_cast<double>(blocks) / perPass;
  state.counters["devices"] = kDevices;
  state.counters["rss_MB"] = residentMegabytes();
}

std::vector<ThreadCalcStatistics> statistics(const Devices &all) {
  std::vector<ThreadCalcStatistics> taken;
  for (const auto &engine : all.engines)
    taken.push_back(engine->threadStatistics());
  return taken;
}

void BM_FullPass(benchmark::State &state) {
  Devices &all = devices();
  int round = 0;
  for (const auto &engine : all.engines) // the pending devices become active
    engine->runTick();
  const auto before = statistics(all);
  for (auto _ : state) {
    feedSources(++round);
    const auto start = std::chrono::steady_clock::now();
    std::vector<std::thread> threads;
    for (const auto &engine : all.engines)
      threads.emplace_back([&engine] { engine->runTick(); });
    for (std::thread &thread : threads)
      thread.join();
    state.SetIterationTime(
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
  reportEngines(state, before, statistics(all));
}
BENCHMARK(BM_FullPass)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(100);

void BM_EngineThreads(benchmark::State &state) {
  Devices &all = devices();
  const auto before = statistics(all);
  for (const auto &engine : all.engines)
    engine->start();
  int round = 0;
  for (auto _ : state) {
    feedSources(++round);
    std::vector<uint64_t> ticks;
    for (const auto &engine : all.engines)
      ticks.push_back(engine->completedTicks());
    for (size_t i = 0; i < all.engines.size(); ++i)
      all.engines[i]->awaitTicks(ticks[i] + 1, std::chrono::seconds(5));
    double slowest = 0;
    for (const auto &engine : all.engines)
      slowest = std::max(slowest, engine->threadStatistics().lastCalcPeriodMs);
    state.SetIterationTime(slowest / 1e3);
  }
  for (const auto &engine : all.engines)
    engine->stop();
  reportEngines(state, before, statistics(all));
}
BENCHMARK(BM_EngineThreads)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(8);

} // namespace
