// MeterBehaviour: the MX4110_4120's own registers on a simulated unit: its
// command interface, alarm configuration, circuit labels, mode, clock and
// energy reset, as hooks on a RegisterBank.
//
// Holding registers (address text, offset = register number - 1):
//   405250..405271  command block: the meter carries out the command whose
//                   code is in 405250 when the block is written
//   405375..405376  result: the code of the last command, its result code
//   445001..445003  alarm configuration: flags (0x0100 enabled), value
//                   high word, value low word
//   457000..457014  three circuit labels of 10 characters, high byte first;
//                   457010 holds 0xFFC0 while none is set
//   402016..402017  the mode, then a register that reads 0
//   401301..401306  the clock: year, month, day, hour, minute, second
//   402101..402103  energy reset: 1, the password, 3 (all energies)
//   402104          reset status: 0 idle, 1 busy, 2 done, 3 refused
//   options.energyFirst.. the energies a reset clears (401101..401110, the
//                   sample map's, unless told otherwise)
//
// Commands and their result codes:
//   1003   set the clock: 0xFFFF, year, month, day, hour, minute, second, 0
//          (9 words); a field out of range gives 3001; the clock then runs
//          with the meter's ticks
//   7000   alarm configuration: 0, 9, 0, 0, 0, enable (0 or 1), value high,
//          value low, 13 words (22 in all); 3001 for other fixed words
//   20000  output assignment: 0, 0, 0, 0, 0, output (0 none, 1 the first
//          digital output) (7 words); 6001 while the output is disabled
//   2008   one parameter (3 words), kept as it is
//   any other code 3000; a block shorter than its command 3002; a write
//   that does not start at 405250 3005. A refused command changes nothing.
// The result of a command shows once options.resultDelayReads reads of
// 405375 have seen the registers as they were (a meter still busy); a
// reset shows "done" after options.resetBusyReads reads of "busy".
//
// The hooks run under the simulated meter's lock; tests change the state
// through SimulatedMeter::withUnit, which holds it:
//
//   SimulatedMeter meter;
//   std::shared_ptr<MeterBehaviour> behaviour;
//   meter.addUnit(1, [&](RegisterBank &bank) { behaviour = addMeterBehaviour(bank, {}); });
//   meter.withUnit(1, [&](RegisterBank &bank) { setCircuitLabels(bank, {"Feeder", "", ""}); });
#pragma once

#include "sim/RegisterBank.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace arxmod::sim {

namespace meter {
// Offsets of the meter's holding registers.
constexpr uint16_t kCommandBlock = 5249;
constexpr uint16_t kCommandBlockSize = 22;
constexpr uint16_t kCommandResult = 5374;
constexpr uint16_t kAlarmConfig = 45000;
constexpr uint16_t kCircuitLabels = 56999;
constexpr uint16_t kCircuitLabelRegisters = 15;
constexpr uint16_t kMode = 2015;
constexpr uint16_t kClock = 1300;
constexpr uint16_t kResetCommand = 2100;
constexpr uint16_t kResetStatus = 2103;

// Reset status values.
constexpr uint16_t kResetIdle = 0;
constexpr uint16_t kResetBusy = 1;
constexpr uint16_t kResetDone = 2;
constexpr uint16_t kResetRefused = 3;
} // namespace meter

struct MeterOptions {
  uint16_t password = 0xFFFF;                 // the reset password (0xFFFF: none set)
  unsigned resultDelayReads = 0;              // result reads that still see the old registers
  unsigned resetBusyReads = 0;                // status reads that see "busy" after a reset
  bool digitalOutputEnabled = true;           // false: output assignments give 6001
  std::array<std::string, 3> circuitLabels{}; // all empty: none set
  int16_t mode = 0;
  uint16_t energyFirst = 1100; // offsets of the energies a reset clears
  uint16_t energyCount = 10;
  std::function<void(RegisterBank &)> onEnergyReset{}; // also told of a reset
};

// The meter's state that is not in registers.
struct MeterBehaviour {
  MeterOptions options;
  // The clock: the meter time (seconds since 1970, in the meter's own zone)
  // at `clockSetAt`, the time of the tick when it was set.
  int64_t clockBase = 946684800; // 2000-01-01 00:00:00 until set
  std::optional<WallTime> clockSetAt;
  std::optional<WallTime> lastTick;
  // The result of the last command, until it shows.
  std::optional<std::array<uint16_t, 2>> pendingResult;
  unsigned resultDelayLeft = 0;
  unsigned resetBusyLeft = 0;
  uint16_t outputAssignment = 0;
  std::optional<uint16_t> parameter2008;
  unsigned commands = 0; // command blocks carried out or refused
};

// Maps the meter's registers in `bank`, sets them from `options` and
// attaches the hooks; the returned state is shared with the hooks.
std::shared_ptr<MeterBehaviour> addMeterBehaviour(RegisterBank &bank, MeterOptions options = {});

// The registers of three circuit labels (an all-empty set marks them unset).
void setCircuitLabels(RegisterBank &bank, const std::array<std::string, 3> &labels);
// The meter's clock as the registers show it: year, month, day, hour,
// minute, second.
std::array<uint16_t, 6> meterClock(const RegisterBank &bank);

} // namespace arxmod::sim
