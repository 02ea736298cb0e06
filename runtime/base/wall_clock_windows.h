// The Windows wall clock's fallback, open for its tests: where Windows lacks
// GetSystemTimePreciseAsFileTime (Windows 7), one reading of the system time is tied to
// QueryPerformanceCounter and later readings are that reading plus the counter's advance.
#pragma once

#include <cstdint>

#include "runtime/base/wall_clock.h"

namespace horalux {

struct CounterAnchor {
  std::int64_t ticks = 0;
  std::int64_t ticks_per_second = 0;
  WallTime time{};
};

// Read just after the system time's coarse tick moves on, so that the anchor is fresh rather than
// up to one tick (about 15.6 ms on Windows 7) stale.
CounterAnchor TakeCounterAnchor();

// The anchor's time plus the counter's advance since it was taken.
WallTime AnchoredTime(const CounterAnchor& anchor);

// Whether this Windows has GetSystemTimePreciseAsFileTime (8 and later), which the clock then
// reads.
bool HasPreciseSystemTime();

}  // namespace horalux
