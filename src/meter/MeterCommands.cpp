// The MX4110_4120 command blocks and result texts.
#include "meter/MeterCommands.h"

#include <chrono>

namespace XLARX {

std::string_view commandResultText(uint16_t resultCode) {
  switch (resultCode) {
  case 0:
    return "Command successfully executed.";
  case 3000:
    return "Invalid Command.";
  case 3001:
    return "Invalid Parameter.";
  case 3002:
    return "Invalid Number of Parameters.";
  case 3003:
    return "Invalid Password.";
  case 3004:
    return "Command Failed Security Check.";
  case 3005:
    return "Invalid Command Interface.";
  case 3006:
    return "Revenue Security Active.";
  case 3007:
    return "Operation Not Performed.";
  case 3008:
    return "Invalid ID.";
  case 3009:
    return "Feature Not Supported.";
  case 3010:
    return "Invalid Semaphore.";
  case 6000:
    return "Invalid Control Mode.";
  case 6001:
    return "Digital Output Disabled.";
  default:
    return kResultUnknownText;
  }
}

std::array<uint16_t, 9> setTimeBlock(const MeterTime &time) {
  return {kSetTimeCommand, 0xFFFF,      time.year,   time.month, time.day,
          time.hour,       time.minute, time.second, 0};
}

std::array<uint16_t, 22> alarmConfigBlock(bool enable, uint16_t valueHigh, uint16_t valueLow) {
  std::array<uint16_t, 22> block{
      kAlarmConfigCommand, 0, 9, 0, 0, 0, enable ? uint16_t{1} : uint16_t{0}, valueHigh, valueLow};
  return block; // the words after the value stay 0
}

std::array<uint16_t, 7> outputAssignmentBlock(uint16_t output) {
  return {kOutputAssignmentCommand, 0, 0, 0, 0, 0, output};
}

std::array<uint16_t, 3> command2008Block(uint16_t parameter) {
  return {kCommand2008, 0, parameter};
}

std::optional<std::vector<uint16_t>> arrayRegisters(const ModbusResponse &reply, size_t count) {
  if (reply.kind != ResponseKind::Text || reply.text.size() < 2 * count)
    return std::nullopt;
  std::vector<uint16_t> registers(count);
  for (size_t k = 0; k < count; ++k)
    registers[k] = static_cast<uint16_t>(static_cast<uint8_t>(reply.text[2 * k]) |
                                         static_cast<uint8_t>(reply.text[2 * k + 1]) << 8);
  return registers;
}

MeterTime meterTimeOf(int64_t secondsSince1970) {
  using namespace std::chrono;
  const sys_seconds time{seconds(secondsSince1970)};
  const sys_days day = floor<days>(time);
  const year_month_day date(day);
  const hh_mm_ss clock(time - day);
  return {static_cast<uint16_t>(static_cast<int>(date.year())),
          static_cast<uint16_t>(static_cast<unsigned>(date.month())),
          static_cast<uint16_t>(static_cast<unsigned>(date.day())),
          static_cast<uint16_t>(clock.hours().count()),
          static_cast<uint16_t>(clock.minutes().count()),
          static_cast<uint16_t>(clock.seconds().count())};
}

} // namespace XLARX
