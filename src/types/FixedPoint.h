// FixedPoint: a signed 64-bit two's-complement number with 31 fraction bits,
// kept as a signed high word and an unsigned low word (the order in which
// the stream carries them).
#pragma once

#include "base/KSXmsg.h"

#include <cstdint>

namespace arxmod {

struct FixedPoint {
  class FloatOutOfRange : public KSXmsg {
  public:
    FloatOutOfRange() : KSXmsg("FixedPoint::FloatOutOfRange") {}
  };

  int32_t high = 0;
  uint32_t low = 0;

  // The value of x; |x| above 2147483648.0 (or NaN) raises FloatOutOfRange.
  static FixedPoint fromDouble(double x);
  static FixedPoint fromRaw(int64_t raw) noexcept;
  int64_t raw() const noexcept;

  // Exact: every fixed-point number fits the 64-bit mantissa of a long double.
  long double toLongDouble() const noexcept;
  double toDouble() const noexcept { return static_cast<double>(toLongDouble()); }
  // The integer part, truncated toward zero.
  int64_t truncated() const noexcept;

  friend bool operator==(const FixedPoint &, const FixedPoint &) = default;
};

} // namespace arxmod
