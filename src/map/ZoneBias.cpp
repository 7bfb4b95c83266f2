// ZoneBias: the C library's zone, or the one a test installed.
#include "map/ZoneBias.h"

#include "base/Clock.h"

#include <atomic>
#include <ctime>
#include <mutex>

namespace XLARX {
namespace {

std::atomic<const ZoneBias *> installed{nullptr};

// tzset() rewrites the C library's zone state (the TZ text it keeps and the
// global timezone) at every call: calls on several threads would free that
// text under each other and read timezone while it is written.
std::mutex zoneStateLock;

ZoneBias systemZoneBias() {
  std::lock_guard lock(zoneStateLock);
  ::tzset();
  ZoneBias zone;
  zone.bias = static_cast<int32_t>(::timezone / 60);
  const std::time_t now =
      static_cast<std::time_t>(arxmod::unixWholeSeconds(arxmod::currentClock().wallNow()));
  std::tm local{};
  if (::localtime_r(&now, &local))
    zone.daylight = local.tm_isdst > 0;
  return zone;
}

} // namespace

ZoneBias currentZoneBias() {
  if (const ZoneBias *fixed = installed.load(std::memory_order_acquire))
    return *fixed;
  return systemZoneBias();
}

ScopedZoneBias::ScopedZoneBias(ZoneBias bias)
    : bias_(bias), previous_(installed.exchange(&bias_, std::memory_order_acq_rel)) {}

ScopedZoneBias::~ScopedZoneBias() { installed.store(previous_, std::memory_order_release); }

} // namespace XLARX
