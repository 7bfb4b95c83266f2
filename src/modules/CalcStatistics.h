// CalcStatistics: what the calculation engines record about their passes,
// per device and per engine thread, and the names under which the
// Diagnostics module publishes it.
//
// Times are milliseconds of the process clock's tick count (a pass is
// timed from its start to its end), except the CPU times, which are the
// engine thread's own CPU time. Averages are running means over all passes.
//
//   name                     what
//   DeviceID                 the device number
//   LastCalcPeriodDevice     ms the device's last pass took
//   NumCalcSecDevice         passes of the device (one per second)
//   AvgCalcPeriodDevice      mean ms of the device's passes
//   NumCritEntersDevice      times its module list was locked
//   NumTryEnterFailsDevice   try-locks of its module list that failed
//   CalcThreadID             the engine's number, from 1
//   NumCalcThreads           engines in the pool
//   NumDevicesThisThread     devices the engine runs
//   LastCalcPeriodThread     ms the engine's last pass of all its devices took
//   LastCalcTimeStampThread  seconds since 1970 at which that pass started
//   NumCalcSecThread         passes of the engine
//   AvgCalcPeriodThread      mean ms of its passes
//   LastCPUTimeThread        CPU ms of its last pass
//   AvgCPUTimeTotalThread    mean CPU ms of its passes
//   NumSecOverflowThread     passes that took longer than the 1000 ms period
//   AvgSecOverflowThread     mean ms by which those passes overran it
//   NumWaitOverflowThread    periods skipped because a pass overran
//   NumCritEntersThread      module-list locks taken, all devices
//   NumTryEnterFailsThread   failed try-locks, all devices
//   NumCritBlocksThread      locks waited for once a device's try-lock
//                            budget was used up
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace XLARX {

struct DeviceCalcStatistics {
  uint32_t deviceId = 0;
  double lastCalcPeriodMs = 0;
  uint64_t numCalcSec = 0;
  double avgCalcPeriodMs = 0;
  uint64_t numCritEnters = 0;
  uint64_t numTryEnterFails = 0;

  // Counts one pass that took `elapsedMs`.
  void recordPass(double elapsedMs);
};

struct ThreadCalcStatistics {
  uint32_t calcThreadId = 0;
  uint32_t numCalcThreads = 0;
  uint32_t numDevicesThisThread = 0;
  double lastCalcPeriodMs = 0;
  double lastCalcTimeStamp = 0;
  uint64_t numCalcSec = 0;
  double avgCalcPeriodMs = 0;
  double lastCpuTimeMs = 0;
  double avgCpuTimeTotalMs = 0;
  uint64_t numSecOverflow = 0;
  double avgSecOverflowMs = 0;
  uint64_t numWaitOverflow = 0;
  uint64_t numCritEnters = 0;
  uint64_t numTryEnterFails = 0;
  uint64_t numCritBlocks = 0;

  // Counts one pass that started at `timeStamp`, took `elapsedMs` and
  // `cpuMs`, against a period of `periodMs`.
  void recordPass(double timeStamp, double elapsedMs, double cpuMs, double periodMs);
};

struct CalcStatistics {
  DeviceCalcStatistics device;
  ThreadCalcStatistics thread;
};

inline constexpr size_t kStatisticCount = 21;

// The names above, in that order.
const std::array<std::string_view, kStatisticCount> &statisticNames();
// The values in the order of statisticNames().
std::array<double, kStatisticCount> statisticValues(const CalcStatistics &statistics);

} // namespace XLARX
