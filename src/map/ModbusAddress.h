// ModbusAddress: the register address texts of map files.
//
// An address is the register class digit ("0" coils, "1" discrete inputs,
// "3" input registers, "4" holding registers) followed by one to five
// decimal digits giving the register number N from 1 to 65536; the offset
// sent on the wire is N - 1. Characters after the fifth digit are not
// examined, so 400001 and 40001 are both class 4, offset 0. A unit prefix
// ("2:") or position suffix ("p3") of a request address is taken off by the
// caller first.
//
//   parseModbusAddress("465536")  -> {4, 65535}
//   parseModbusAddress("40")      -> none (N = 0)
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace arxmod {

struct RegisterAddress {
  uint8_t registerClass; // 0, 1, 3 or 4
  uint16_t offset;       // register number - 1
  friend bool operator==(const RegisterAddress &, const RegisterAddress &) = default;
};

std::optional<RegisterAddress> parseModbusAddress(std::string_view text);

} // namespace arxmod
