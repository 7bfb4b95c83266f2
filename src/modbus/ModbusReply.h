// ModbusReply: a meter's reply PDU, decoded, and whether it answers the
// message it came back for.
//
// A reply is hostile bytes. Decoding reads them through a bounds-checked
// cursor and accepts only the shapes below, every length field agreeing
// with the bytes that are really there:
//
//   1, 2      code, byte count, bits (least significant first)
//   3, 4      code, byte count (even), registers
//   5, 6      code, address, value
//   15, 16    code, start, count
//   20        code, byte count, sub-record length L, reference type 6,
//             L - 1 bytes of registers (L - 1 even)
//   100       code, byte count (2k + 2), one ignored byte, transmission
//             number, k registers
//   c + 0x80  code, exception code (an exception reply)
//
// A reply that decodes must then answer its message (checkReply): the same
// function code, the same transmission number, and the quantities and
// addresses the message asked for; anything else is the answer to another
// request and is never taken for this one.
#pragma once

#include "modbus/ModbusMessage.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace XLARX {

struct ModbusReply {
  uint8_t function = 0;             // without the exception bit
  std::optional<uint8_t> exception; // the exception code of an exception reply
  std::vector<uint16_t> registers;  // read replies: the registers, or the bits as 0 and 1
  uint8_t transmissionNumber = 0;   // scattered reads
  uint16_t address = 0;             // write replies: the echoed address or start
  uint16_t quantity = 0;            // write replies: the echoed value (5, 6) or count (15, 16)
  size_t bitBytes = 0;              // bit reads: the byte count (registers hold 8 per byte)
};

// Decodes `bytes`. Raises KSXmsg "Invalid Modbus response - No Function
// Code" for no bytes, "Modbus Function Code is not supported" for a code
// outside the table above, and couldNotDecodeText(bytes) for any other
// failure (functions 8 and 101 included).
ModbusReply decodeReply(std::span<const uint8_t> bytes);

enum class ReplyMatch {
  Matches,
  WrongFunction,     // "Mismatched Modbus function class"
  WrongTransmission, // "Mismatched Modbus scattered read transmission number"
  WrongQuantity,     // counts, addresses or record lengths other than those sent
};
ReplyMatch checkReply(const ModbusReply &reply, const ModbusMessage &sent);

// The text of a reply that cannot be decoded: "Invalid Modbus response -
// Could not decode. Response: (<length>) " and the bytes as two lower-case
// hexadecimal digits each, followed by a space, or by a line break after
// every 32nd byte.
std::string couldNotDecodeText(std::span<const uint8_t> bytes);

} // namespace XLARX
