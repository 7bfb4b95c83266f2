// XLARX::ModbusResponse: what one Modbus request got back (a number, a
// text, or an error code), and the table of Modbus exception codes.
//
// Error codes: 0 none; kModbusErrorBase + the exception code of an
// exception reply; kModbusNotAvailable when the registers carry the
// meter's not-available marker; kModbusErrorBase alone when no usable reply
// came (the response status says why). An error response has the value -1.
//
//   if (response->errorCode)
//     text = modbusException(response->errorCode & 0xFFFF).text; // "Illegal Data Address"
#pragma once

#include "frame/Transaction.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace XLARX {

inline constexpr uint32_t kModbusErrorBase = 0xFFFF0000;
inline constexpr uint32_t kModbusNotAvailable = kModbusErrorBase + 0x100;

enum class ResponseKind : uint8_t { Number = 0, Text = 1 };

class ModbusResponse : public XL::Response {
public:
  uint32_t errorCode = 0;
  double value = 0.0;
  ResponseKind kind = ResponseKind::Number;
  int32_t format = 0; // the request's register format code
  std::string text;   // kind Text: the decoded text (formats 28 and 29 trimmed of spaces)
};

// One row of the exception table: the text of the exception value, its
// exception value code, and the tag of the packet trace (empty for 256, the
// not-available marker, which never arrives in a reply).
struct ModbusExceptionInfo {
  uint32_t code;
  std::string_view text;
  uint32_t valueCode;
  std::string_view rxText;
};

// The row of an exception code (1-8, 10, 11, 256); "Unknown Modbus
// Exception" with value code 5 and "RX:Unknown" for any other.
const ModbusExceptionInfo &modbusException(uint32_t code);

} // namespace XLARX
