// RtuFrame: the Modbus RTU frame of the public Modbus over Serial Line
// specification: unit (1), PDU (1 to 253), CRC-16 (2, low byte first).
//
// CRC-16/MODBUS: reflected polynomial 0xA001, initial value 0xFFFF, no final
// exclusive-or.
//
// The reply length rule lets a reader end a frame as soon as its last byte
// is in, without waiting for the silent interval: it knows the length of
// exception replies, of the fixed-size write replies and of every reply
// with a byte count (functions 1-4, 20 and 100).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace arxhost::transport {

// RS-485 ADU: unit 1 + PDU 253 + CRC 2.
constexpr size_t kMaxRtuFrameSize = 256;
constexpr size_t kMinRtuFrameSize = 4; // unit, function code, CRC

uint16_t crc16(std::span<const uint8_t> bytes);

std::vector<uint8_t> rtuFrame(uint8_t unit, std::span<const uint8_t> pdu);

// The whole length of a reply frame that starts with `head`, once `head`
// holds enough of it to tell; nothing while it does not, and for function
// codes whose reply length the rule does not know.
std::optional<size_t> rtuReplyLength(std::span<const uint8_t> head);

// True when the last two bytes of `frame` are the CRC of the bytes before.
bool rtuCrcValid(std::span<const uint8_t> frame);

// The time of 3.5 characters of 11 bits at `baud`, in microseconds; 1750 us
// above 19200 baud, as the serial line specification fixes it.
uint32_t silentIntervalMicros(uint32_t baud);

} // namespace arxhost::transport
