// Millisecond tick counter that wraps at 32 bits, and the elapsed-time
// arithmetic that survives the wrap.
#pragma once

#include <chrono>
#include <cstdint>

namespace arxmod {

inline uint32_t tickCount() noexcept {
  using namespace std::chrono;
  return static_cast<uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// Milliseconds from `earlier` to `later`, correct across one wrap of the counter.
inline uint32_t ticksElapsed(uint32_t earlier, uint32_t later) noexcept {
  return later - earlier;
}

} // namespace arxmod
