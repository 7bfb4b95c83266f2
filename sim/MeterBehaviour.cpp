// MeterBehaviour: the hooks of the MX4110_4120's own registers.
#include "sim/MeterBehaviour.h"

#include <chrono>

namespace arxmod::sim {
namespace {

using namespace meter;

constexpr Table kHolding = Table::HoldingRegisters;

// Result codes.
constexpr uint16_t kSucceeded = 0;
constexpr uint16_t kInvalidCommand = 3000;
constexpr uint16_t kInvalidParameter = 3001;
constexpr uint16_t kInvalidParameterCount = 3002;
constexpr uint16_t kInvalidInterface = 3005;
constexpr uint16_t kOutputDisabled = 6001;
constexpr uint16_t kLabelsUnset = 0xFFC0;
constexpr uint16_t kAlarmEnabled = 0x0100;

// The words a command needs, its code included.
uint16_t wordsOf(uint16_t code) {
  switch (code) {
  case 1003:
    return 9;
  case 7000:
    return 22;
  case 20000:
    return 7;
  case 2008:
    return 3;
  default:
    return 1;
  }
}

int64_t secondsOf(WallTime time) {
  return std::chrono::duration_cast<std::chrono::seconds>(time.time_since_epoch()).count();
}

void showClock(RegisterBank &bank, const MeterBehaviour &meter) {
  using namespace std::chrono;
  const int64_t elapsed = meter.clockSetAt && meter.lastTick
                              ? secondsOf(*meter.lastTick) - secondsOf(*meter.clockSetAt)
                              : 0;
  const sys_seconds now{seconds(meter.clockBase + elapsed)};
  const sys_days day = floor<days>(now);
  const year_month_day date(day);
  const hh_mm_ss time(now - day);
  const uint16_t fields[] = {static_cast<uint16_t>(static_cast<int>(date.year())),
                             static_cast<uint16_t>(static_cast<unsigned>(date.month())),
                             static_cast<uint16_t>(static_cast<unsigned>(date.day())),
                             static_cast<uint16_t>(time.hours().count()),
                             static_cast<uint16_t>(time.minutes().count()),
                             static_cast<uint16_t>(time.seconds().count())};
  bank.setRange(kHolding, kClock, fields);
}

uint16_t setClock(RegisterBank &bank, MeterBehaviour &meter) {
  using namespace std::chrono;
  const auto word = [&](uint16_t k) { return bank.get(kHolding, kCommandBlock + k); };
  const year_month_day date{year(word(2)), month(word(3)), day(word(4))};
  if (word(1) != 0xFFFF || !date.ok() || word(5) > 23 || word(6) > 59 || word(7) > 59)
    return kInvalidParameter;
  meter.clockBase = secondsOf(sys_days(date)) + word(5) * 3600 + word(6) * 60 + word(7);
  meter.clockSetAt = meter.lastTick; // none yet: the first tick starts it
  showClock(bank, meter);
  return kSucceeded;
}

uint16_t configureAlarm(RegisterBank &bank) {
  const auto word = [&](uint16_t k) { return bank.get(kHolding, kCommandBlock + k); };
  if (word(1) != 0 || word(2) != 9 || word(6) > 1)
    return kInvalidParameter;
  const uint16_t flags = bank.get(kHolding, kAlarmConfig);
  bank.set(kHolding, kAlarmConfig,
           word(6) ? flags | kAlarmEnabled : static_cast<uint16_t>(flags & ~kAlarmEnabled));
  bank.set(kHolding, kAlarmConfig + 1, word(7));
  bank.set(kHolding, kAlarmConfig + 2, word(8));
  return kSucceeded;
}

uint16_t assignOutput(RegisterBank &bank, MeterBehaviour &meter) {
  const uint16_t output = bank.get(kHolding, kCommandBlock + 6);
  if (output > 1)
    return kInvalidParameter;
  if (output == 1 && !meter.options.digitalOutputEnabled)
    return kOutputDisabled;
  meter.outputAssignment = output;
  return kSucceeded;
}

uint16_t carryOut(RegisterBank &bank, MeterBehaviour &meter, const Access &access) {
  const uint16_t code = bank.get(kHolding, kCommandBlock);
  if (access.first != kCommandBlock)
    return kInvalidInterface;
  if (wordsOf(code) == 1)
    return kInvalidCommand;
  if (access.count < wordsOf(code))
    return kInvalidParameterCount;
  switch (code) {
  case 1003:
    return setClock(bank, meter);
  case 7000:
    return configureAlarm(bank);
  case 20000:
    return assignOutput(bank, meter);
  default: // 2008
    meter.parameter2008 = bank.get(kHolding, kCommandBlock + 2);
    return kSucceeded;
  }
}

uint8_t commandWritten(RegisterBank &bank, MeterBehaviour &meter, const Access &access) {
  const uint16_t result = carryOut(bank, meter, access);
  ++meter.commands;
  meter.pendingResult = std::array<uint16_t, 2>{bank.get(kHolding, kCommandBlock), result};
  meter.resultDelayLeft = meter.options.resultDelayReads;
  return 0;
}

uint8_t resultRead(RegisterBank &bank, MeterBehaviour &meter) {
  if (meter.resultDelayLeft > 0) {
    --meter.resultDelayLeft;
    return 0;
  }
  if (meter.pendingResult) {
    bank.setRange(kHolding, kCommandResult, *meter.pendingResult);
    meter.pendingResult.reset();
  }
  return 0;
}

uint8_t resetWritten(RegisterBank &bank, MeterBehaviour &meter) {
  const std::vector<uint16_t> words = bank.range(kHolding, kResetCommand, 3);
  if (words[0] != 1 || words[1] != meter.options.password || words[2] != 3) {
    bank.set(kHolding, kResetStatus, kResetRefused);
    return 0;
  }
  const MeterOptions &options = meter.options;
  bank.setRange(kHolding, options.energyFirst, std::vector<uint16_t>(options.energyCount, 0));
  if (options.onEnergyReset)
    options.onEnergyReset(bank);
  meter.resetBusyLeft = options.resetBusyReads;
  bank.set(kHolding, kResetStatus, meter.resetBusyLeft ? kResetBusy : kResetDone);
  return 0;
}

uint8_t resetStatusRead(RegisterBank &bank, MeterBehaviour &meter) {
  if (bank.get(kHolding, kResetStatus) != kResetBusy)
    return 0;
  if (meter.resetBusyLeft > 0)
    --meter.resetBusyLeft; // this read still sees it busy
  else
    bank.set(kHolding, kResetStatus, kResetDone);
  return 0;
}

} // namespace

void setCircuitLabels(RegisterBank &bank, const std::array<std::string, 3> &labels) {
  std::vector<uint16_t> words(kCircuitLabelRegisters, 0);
  const bool unset = labels[0].empty() && labels[1].empty() && labels[2].empty();
  for (size_t k = 0; k < labels.size() && !unset; ++k)
    for (size_t c = 0; c < labels[k].size() && c < 10; ++c) {
      const auto byte = static_cast<uint8_t>(labels[k][c]);
      words[5 * k + c / 2] |= static_cast<uint16_t>(c % 2 ? byte : byte << 8);
    }
  if (unset)
    words[10] = kLabelsUnset;
  bank.setRange(kHolding, kCircuitLabels, words);
}

std::array<uint16_t, 6> meterClock(const RegisterBank &bank) {
  const std::vector<uint16_t> words = bank.range(kHolding, kClock, 6);
  return {words[0], words[1], words[2], words[3], words[4], words[5]};
}

std::shared_ptr<MeterBehaviour> addMeterBehaviour(RegisterBank &bank, MeterOptions options) {
  auto meter = std::make_shared<MeterBehaviour>();
  meter->options = std::move(options);
  const MeterOptions &set = meter->options;
  bank.map(kHolding, kCommandBlock, kCommandBlockSize);
  bank.map(kHolding, kCommandResult, 2);
  bank.map(kHolding, kAlarmConfig, 3);
  bank.map(kHolding, kCircuitLabels, kCircuitLabelRegisters);
  bank.map(kHolding, kMode, 2);
  bank.map(kHolding, kClock, 6);
  bank.map(kHolding, kResetCommand, 4);
  bank.map(kHolding, set.energyFirst, set.energyCount);
  setCircuitLabels(bank, set.circuitLabels);
  bank.set(kHolding, kMode, static_cast<uint16_t>(set.mode));
  showClock(bank, *meter);

  bank.onWrite(
      kHolding, kCommandBlock, kCommandBlockSize,
      [meter](RegisterBank &b, const Access &access) { return commandWritten(b, *meter, access); });
  bank.onRead(kHolding, kCommandResult, 2,
              [meter](RegisterBank &b, const Access &) { return resultRead(b, *meter); });
  bank.onWrite(kHolding, kResetCommand, 3,
               [meter](RegisterBank &b, const Access &) { return resetWritten(b, *meter); });
  bank.onRead(kHolding, kResetStatus, 1,
              [meter](RegisterBank &b, const Access &) { return resetStatusRead(b, *meter); });
  bank.onTick([meter](RegisterBank &b, WallTime now) {
    if (!meter->clockSetAt)
      meter->clockSetAt = now;
    meter->lastTick = now;
    showClock(b, *meter);
  });
  return meter;
}

} // namespace arxmod::sim
