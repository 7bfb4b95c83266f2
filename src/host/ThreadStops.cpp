// ThreadStops: a fixed table of stop functions, so that the registry itself
// has nothing to destroy at process exit.
#include "host/ThreadStops.h"

#include "host/LibraryExit.h"

#include <algorithm>
#include <array>
#include <mutex>
#include <stdexcept>

namespace arxmod {
namespace {

struct Registered {
  ThreadStopOrder order;
  ThreadStop stop;
};

// Two subsystems run threads today; the room is for those to come.
constexpr size_t kCapacity = 8;

std::mutex registryMutex;
std::array<Registered, kCapacity> registered;
size_t registeredCount = 0;  // entries of `registered` in use
bool exitHandlerSet = false; // runAtExit is registered to run at exit

void runAtExit(void *) { stopRegisteredThreads(); }

} // namespace

void registerThreadStop(ThreadStopOrder order, ThreadStop stop) {
  std::lock_guard lock(registryMutex);
  const auto end = registered.begin() + static_cast<std::ptrdiff_t>(registeredCount);
  if (std::any_of(registered.begin(), end, [&](const Registered &r) { return r.stop == stop; }))
    return;
  if (registeredCount == kCapacity)
    throw std::logic_error("ThreadStops: more than 8 thread stop functions registered");
  if (!exitHandlerSet)
    exitHandlerSet = atLibraryExit(&runAtExit);
  registered[registeredCount++] = Registered{order, stop};
}

void stopRegisteredThreads() noexcept {
  std::array<Registered, kCapacity> stops;
  size_t count = 0;
  {
    std::lock_guard lock(registryMutex);
    stops = registered;
    count = registeredCount;
    registeredCount = 0;
  }
  // Latest registration first, then a stable sort by order keeps that
  // within each order.
  std::reverse(stops.begin(), stops.begin() + static_cast<std::ptrdiff_t>(count));
  std::stable_sort(stops.begin(), stops.begin() + static_cast<std::ptrdiff_t>(count),
                   [](const Registered &a, const Registered &b) { return a.order < b.order; });
  for (size_t i = 0; i < count; ++i) {
    try {
      stops[i].stop();
    } catch (...) {
      // The other subsystems must still stop.
    }
  }
}

} // namespace arxmod
