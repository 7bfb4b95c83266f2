// ModbusAddress: the class digit and register number of an address text.
#include "map/ModbusAddress.h"

namespace arxmod {

std::optional<RegisterAddress> parseModbusAddress(std::string_view text) {
  constexpr size_t kMaxDigits = 5;
  if (text.empty())
    return std::nullopt;
  const char registerClass = text[0];
  if (registerClass != '0' && registerClass != '1' && registerClass != '3' && registerClass != '4')
    return std::nullopt;
  const std::string_view digits = text.substr(1, kMaxDigits);
  if (digits.empty())
    return std::nullopt;
  uint32_t number = 0;
  for (char c : digits) {
    if (c < '0' || c > '9')
      return std::nullopt;
    number = number * 10 + static_cast<uint32_t>(c - '0');
  }
  if (number < 1 || number > 65536)
    return std::nullopt;
  return RegisterAddress{static_cast<uint8_t>(registerClass - '0'),
                         static_cast<uint16_t>(number - 1)};
}

} // namespace arxmod
