// FixedPoint: conversions to and from floating point.
#include "types/FixedPoint.h"

#include <cmath>

namespace arxmod {

FixedPoint FixedPoint::fromRaw(int64_t raw) noexcept {
  const auto bits = static_cast<uint64_t>(raw);
  return {static_cast<int32_t>(static_cast<uint32_t>(bits >> 32)), static_cast<uint32_t>(bits)};
}

int64_t FixedPoint::raw() const noexcept {
  return static_cast<int64_t>(static_cast<uint64_t>(static_cast<uint32_t>(high)) << 32 | low);
}

FixedPoint FixedPoint::fromDouble(double x) {
  const double magnitude = std::fabs(x);
  if (!(magnitude <= 2147483648.0))
    throw FloatOutOfRange();
  const double whole = std::floor(magnitude);
  const auto integer = static_cast<uint32_t>(whole); // at most 2^31
  const auto fraction = static_cast<uint32_t>((magnitude - whole) * 2147483648.0);
  uint64_t bits = static_cast<uint64_t>(integer >> 1) << 32 |
                  static_cast<uint64_t>(integer & 1u) << 31 | (fraction & 0x7FFFFFFFu);
  if (x < 0)
    bits = ~bits + 1;
  return fromRaw(static_cast<int64_t>(bits));
}

long double FixedPoint::toLongDouble() const noexcept {
  return std::ldexp(static_cast<long double>(raw()), -31);
}

int64_t FixedPoint::truncated() const noexcept {
  const int64_t value = raw();
  // Shift the magnitude so that negative numbers truncate toward zero too.
  const uint64_t magnitude = value < 0 ? ~static_cast<uint64_t>(value) + 1 : value;
  const auto whole = static_cast<int64_t>(magnitude >> 31);
  return value < 0 ? -whole : whole;
}

} // namespace arxmod
