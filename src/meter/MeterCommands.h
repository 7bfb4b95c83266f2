// The MX4110_4120 meter's command interface: the registers the translator
// uses, the command blocks it writes and the texts of the result codes.
//
// A command is a block of 16-bit words written to the command registers
// from 405250; the meter then shows the command's code and a result code in
// the two registers from 405375. Every request to these registers uses the
// format U16-21-ARRAY, so the words travel unchanged.
//
//   const auto block = outputAssignmentBlock(1);   // 20000, 0, 0, 0, 0, 0, 1
//   commandResultText(6001);                        // "Digital Output Disabled."
#pragma once

#include "modbus/ModbusResponse.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace XLARX {

// Address texts (map file syntax) and register counts.
inline constexpr std::string_view kCommandBlockAddress = "405250";  // 3, 7, 9 or 22 words
inline constexpr std::string_view kCommandResultAddress = "405375"; // command code, result code
inline constexpr uint16_t kCommandResultRegisters = 2;
inline constexpr std::string_view kAlarmConfigAddress = "445001"; // flags, value high, value low
inline constexpr uint16_t kAlarmConfigRegisters = 3;
inline constexpr std::string_view kCircuitLabelsAddress = "457000"; // 3 labels of 5 registers
inline constexpr uint16_t kCircuitLabelsRegisters = 15;
inline constexpr std::string_view kModeAddress = "402016"; // the mode, then one more register
inline constexpr uint16_t kModeRegisters = 2;

// Command codes.
inline constexpr uint16_t kSetTimeCommand = 1003;
inline constexpr uint16_t kCommand2008 = 2008;
inline constexpr uint16_t kAlarmConfigCommand = 7000;
inline constexpr uint16_t kOutputAssignmentCommand = 20000;

// Bit 8 of the alarm configuration's flags: the alarm is enabled.
inline constexpr uint16_t kAlarmEnabledBit = 0x0100;

// Result codes of the answer to a command write (ExceptionType codes).
inline constexpr uint32_t kCommandSucceeded = 12;
inline constexpr uint32_t kCommandFailed = 13;

// The text of a result code: "Command successfully executed." for 0, the
// meter's refusals for 3000 to 3010, 6000 and 6001, and "Command Result
// Unknown." for any other.
std::string_view commandResultText(uint16_t resultCode);
inline constexpr std::string_view kResultUnknownText = "Command Result Unknown.";

// A calendar time as the set-time command carries it.
struct MeterTime {
  uint16_t year;   // four digits
  uint16_t month;  // 1 to 12
  uint16_t day;    // 1 to 31
  uint16_t hour;   // 0 to 23
  uint16_t minute; // 0 to 59
  uint16_t second; // 0 to 59
};

// 1003, 0xFFFF, year, month, day, hour, minute, second, 0.
std::array<uint16_t, 9> setTimeBlock(const MeterTime &time);
// 7000, 0, 9, 0, 0, 0, enable, value high, value low, 13 zeros.
std::array<uint16_t, 22> alarmConfigBlock(bool enable, uint16_t valueHigh, uint16_t valueLow);
// 20000, 0, 0, 0, 0, 0, output (0 none, 1 the first digital output).
std::array<uint16_t, 7> outputAssignmentBlock(uint16_t output);
// 2008, 0, parameter.
std::array<uint16_t, 3> command2008Block(uint16_t parameter);

// The registers of a reply to a read made with U16-21-ARRAY, whose text
// holds two bytes per register, low byte first; none for a reply that is
// no text or holds fewer than `count` registers.
std::optional<std::vector<uint16_t>> arrayRegisters(const ModbusResponse &reply, size_t count);

// The calendar fields of `secondsSince1970` (any zone: the caller shifts it).
MeterTime meterTimeOf(int64_t secondsSince1970);

} // namespace XLARX
