// The Modbus exception codes of the public Modbus Application Protocol
// (1 to 8, 10, 11), and 256, this system's "not available" marker.
#include "modbus/ModbusResponse.h"

#include <array>

namespace XLARX {

const ModbusExceptionInfo &modbusException(uint32_t code) {
  static constexpr std::array<ModbusExceptionInfo, 11> kTable{{
      {1, "Illegal Function", 4, "RX:MB_EC_ILLEGAL_FUNCTION"},
      {2, "Illegal Data Address", 4, "RX:MB_EC_ILLEGAL_DATA_ADDRESS"},
      {3, "Illegal Data Value", 5, "RX:MB_EC_ILLEGAL_DATA_VALUE"},
      {4, "Slave Device Failure", 5, "RX:MB_EC_SLAVE_DEVICE_FAILURE"},
      {5, "Acknowledge Exception", 5, "RX:MB_EC_ACKNOWLEDGE"},
      {6, "Slave Device Busy", 5, "RX:MB_EC_SLAVE_DEVICE_BUSY"},
      {7, "Negative Acknowledge Exception", 5, "RX:MB_EC_NEGATIVE_ACKNOWLEDGE"},
      {8, "Memory Parity Error", 5, "RX:MB_EC_MEMORY_PARITY_ERROR"},
      {10, "Gateway Path Unavailable", 5, "RX:MB_EC_GATEWAY_UNAVAILABLE"},
      {11, "No Response From Target Device", 5, "RX:MB_EC_GATEWAY_DEVICE_NO_RESP"},
      {256, "Not Available", 5, ""},
  }};
  static constexpr ModbusExceptionInfo kUnknown{0, "Unknown Modbus Exception", 5, "RX:Unknown"};
  for (const ModbusExceptionInfo &row : kTable)
    if (row.code == code)
      return row;
  return kUnknown;
}

} // namespace XLARX
