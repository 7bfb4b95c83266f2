// CalcStatistics: running means and the published names.
#include "modules/CalcStatistics.h"

namespace XLARX {

namespace {

// The running mean after the count-th sample `sample`.
double runningMean(double mean, uint64_t count, double sample) {
  return mean + (sample - mean) / static_cast<double>(count);
}

} // namespace

void DeviceCalcStatistics::recordPass(double elapsedMs) {
  lastCalcPeriodMs = elapsedMs;
  avgCalcPeriodMs = runningMean(avgCalcPeriodMs, ++numCalcSec, elapsedMs);
}

void ThreadCalcStatistics::recordPass(double timeStamp, double elapsedMs, double cpuMs,
                                      double periodMs) {
  lastCalcTimeStamp = timeStamp;
  lastCalcPeriodMs = elapsedMs;
  lastCpuTimeMs = cpuMs;
  ++numCalcSec;
  avgCalcPeriodMs = runningMean(avgCalcPeriodMs, numCalcSec, elapsedMs);
  avgCpuTimeTotalMs = runningMean(avgCpuTimeTotalMs, numCalcSec, cpuMs);
  if (elapsedMs > periodMs)
    avgSecOverflowMs = runningMean(avgSecOverflowMs, ++numSecOverflow, elapsedMs - periodMs);
}

const std::array<std::string_view, kStatisticCount> &statisticNames() {
  static constexpr std::array<std::string_view, kStatisticCount> kNames = {
      "DeviceID",
      "LastCalcPeriodDevice",
      "NumCalcSecDevice",
      "AvgCalcPeriodDevice",
      "NumCritEntersDevice",
      "NumTryEnterFailsDevice",
      "CalcThreadID",
      "NumCalcThreads",
      "NumDevicesThisThread",
      "LastCalcPeriodThread",
      "LastCalcTimeStampThread",
      "NumCalcSecThread",
      "AvgCalcPeriodThread",
      "LastCPUTimeThread",
      "AvgCPUTimeTotalThread",
      "NumSecOverflowThread",
      "AvgSecOverflowThread",
      "NumWaitOverflowThread",
      "NumCritEntersThread",
      "NumTryEnterFailsThread",
      "NumCritBlocksThread"};
  return kNames;
}

std::array<double, kStatisticCount> statisticValues(const CalcStatistics &statistics) {
  const DeviceCalcStatistics &d = statistics.device;
  const ThreadCalcStatistics &t = statistics.thread;
  auto real = [](uint64_t count) { return static_cast<double>(count); };
  return {real(d.deviceId),       d.lastCalcPeriodMs,       real(d.numCalcSec),
          d.avgCalcPeriodMs,      real(d.numCritEnters),    real(d.numTryEnterFails),
          real(t.calcThreadId),   real(t.numCalcThreads),   real(t.numDevicesThisThread),
          t.lastCalcPeriodMs,     t.lastCalcTimeStamp,      real(t.numCalcSec),
          t.avgCalcPeriodMs,      t.lastCpuTimeMs,          t.avgCpuTimeTotalMs,
          real(t.numSecOverflow), t.avgSecOverflowMs,       real(t.numWaitOverflow),
          real(t.numCritEnters),  real(t.numTryEnterFails), real(t.numCritBlocks)};
}

} // namespace XLARX
