// ZoneBias: the computer's time-zone offset that the LOCAL date-time
// register formats add when they decode and subtract when they encode.
//
// Bias is the offset of local standard time in minutes west of UTC (New
// York: 300), StandardBias is 0 on this platform, and daylight tells whether
// summer time is in force now. The C library supplies them (timezone after
// tzset(), tm_isdst of localtime_r); tests install fixed values so that their
// results do not depend on the machine's zone:
//
//   ScopedZoneBias zone({.bias = -60});   // Central European standard time
#pragma once

#include <cstdint>

namespace XLARX {

struct ZoneBias {
  int32_t bias = 0;         // minutes west of UTC, standard time
  int32_t standardBias = 0; // minutes added to bias outside summer time
  bool daylight = false;    // summer time in force now
};

// The installed bias, or the computer's.
ZoneBias currentZoneBias();

// Installs a fixed bias for the lifetime of this object (tests).
class ScopedZoneBias {
public:
  explicit ScopedZoneBias(ZoneBias bias);
  ~ScopedZoneBias();
  ScopedZoneBias(const ScopedZoneBias &) = delete;
  ScopedZoneBias &operator=(const ScopedZoneBias &) = delete;

private:
  ZoneBias bias_;
  const ZoneBias *previous_;
};

} // namespace XLARX
