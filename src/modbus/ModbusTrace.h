// ModbusTrace: the packet trace and the value trace of Modbus transactions,
// written to the process-wide diagnostic channel "TXMOD" (separator ":")
// when the map's DiagnosticFlags ask for them.
//
// Packet trace (flag 2), one line per request sent and reply delivered:
//   7:TX:03 00 64 00 0B:20240517T134507
//   7:RX:ResponseTimeout:NULL:20240517T134507       (tag "RX:ResponseTimeout")
// Value trace (flag 1), one line per decoded read response:
//   7:400101:2:MBF_U32_4321:FFFFFFFF:--------:65538:NULL:017:20240517T134507
// fields: device, address, registers, format, mask, not-available value (or
// "--------" when the check is off), the result ("EX=" and the error's low
// 16 bits, the number, "ARRAY" or the text), the registers a scattered read
// collected (or "NULL"), the reply sequence number modulo 1000, local time.
// An empty field is written "EMPTY".
#pragma once

#include "base/Clock.h"
#include "modbus/ModbusRequest.h"
#include "modbus/ModbusResponse.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace XLARX {

inline constexpr uint32_t kValueTraceFlag = 1;
inline constexpr uint32_t kPacketTraceFlag = 2;

// The next number of the process-wide count of delivered replies.
uint32_t nextReplySequence();

// The lines after the device number and the separator.
std::string packetTraceText(std::string_view tag, std::span<const uint8_t> bytes,
                            arxmod::WallTime when);
std::string valueTraceText(const ModbusRequest &request, const ModbusResponse &response,
                           std::span<const uint16_t> collected, uint32_t sequence,
                           arxmod::WallTime when);

// Write one line to "TXMOD", stamped with the current clock's time.
void tracePacket(uint32_t device, std::string_view tag, std::span<const uint8_t> bytes);
void traceValue(uint32_t device, const ModbusRequest &request, const ModbusResponse &response,
                std::span<const uint16_t> collected, uint32_t sequence);

} // namespace XLARX
