// TreeFormat: the shared layout helpers.
#include "tree/TreeFormat.h"

#include "tree/ARXObj.h"

#include <cmath>
#include <cstdio>

namespace arxmod {

InputClassLayout inputClassLayout(const std::vector<uint32_t> &list) {
  if (list.size() < 3) {
    const auto type = list.empty() ? InputType::PreProgrammed : InputType::LocalOnly;
    return {1, 1, static_cast<uint32_t>(type), list};
  }
  return {list[0], list[1], list[2], std::span<const uint32_t>(list).subspan(3)};
}

std::string handleSuffix(uint32_t handle) {
  char buffer[48];
  std::snprintf(buffer, sizeof buffer, " Handle: %u (0x%X).", handle, handle);
  return buffer;
}

std::string handleText(uint32_t handle) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "0x%X", handle);
  return buffer;
}

std::string realText(double value) {
  if (std::isnan(value))
    return std::signbit(value) ? "-NAN" : "+NAN";
  if (std::isinf(value))
    return value < 0 ? "-INF" : "+INF";
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%.17g", value);
  std::string text = buffer;
  // Keep a decimal point or exponent so the text reads back as a real.
  if (text.find_first_of(".e") == std::string::npos)
    text += ".0";
  return text;
}

} // namespace arxmod
