// The unit prefix and position suffix around a map file register address.
#include "modbus/RequestAddress.h"

#include "base/KSXmsg.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <limits>

namespace XLARX {
namespace {

// The whole of `digits` as a decimal number no larger than `limit`.
bool readDecimal(std::string_view digits, uint64_t limit, uint64_t &value) {
  if (digits.empty() ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; }))
    return false;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  return error == std::errc() && end == digits.data() + digits.size() && value <= limit;
}

} // namespace

std::string invalidAddressText(std::string_view text) {
  return "Invalid Modbus Register Address '" + std::string(text) + "'";
}

RequestAddress parseRequestAddress(std::string_view text) {
  std::string lower(text);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  std::string_view rest = lower;
  RequestAddress address;
  uint64_t number = 0;

  // Anything before a ":" must be a unit that fits: a prefix taken for part
  // of the address would name another register.
  if (const size_t colon = rest.find(':'); colon != std::string_view::npos) {
    if (!readDecimal(rest.substr(0, colon), std::numeric_limits<uint32_t>::max(), number))
      throw arxmod::KSXmsg(invalidAddressText(text));
    address.unit = static_cast<uint32_t>(number);
    rest.remove_prefix(colon + 1);
  }
  if (const size_t p = rest.find('p'); p != std::string_view::npos) {
    if (!readDecimal(rest.substr(p + 1), std::numeric_limits<int32_t>::max(), number))
      throw arxmod::KSXmsg(invalidAddressText(text));
    address.position = static_cast<int32_t>(number);
    rest = rest.substr(0, p);
  }
  const std::optional<arxmod::RegisterAddress> reg = arxmod::parseModbusAddress(rest);
  if (!reg)
    throw arxmod::KSXmsg(invalidAddressText(text));
  address.reg = *reg;
  return address;
}

} // namespace XLARX
