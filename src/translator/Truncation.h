// Truncation of doubles that come from a meter, a scaling or a client
// (any value, NaN and infinities included) into integers, never by an
// undefined conversion.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace XLARX {

// `value` truncated towards zero, saturated at the ends of the range; NaN is 0.
inline int64_t truncatedInteger(double value) {
  if (std::isnan(value))
    return 0;
  if (value >= 0x1p63)
    return std::numeric_limits<int64_t>::max();
  if (value < -0x1p63)
    return std::numeric_limits<int64_t>::min();
  return static_cast<int64_t>(value);
}

} // namespace XLARX
