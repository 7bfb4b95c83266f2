// Millisecond tick counter that wraps at 32 bits, and the elapsed-time
// arithmetic that survives the wrap. Read from the process's clock, so a
// test that steps its clock steps the ticks too.
#pragma once

#include "base/Clock.h"

#include <cstdint>

namespace arxmod {

inline uint32_t tickCount() noexcept { return currentClock().tickNow(); }

// Milliseconds from `earlier` to `later`, correct across one wrap of the counter.
inline uint32_t ticksElapsed(uint32_t earlier, uint32_t later) noexcept { return later - earlier; }

} // namespace arxmod
