// Linux reads CLOCK_REALTIME to the nanosecond; no anchor is needed.
#include "runtime/base/wall_clock.h"

#include <ctime>

namespace horalux {

WallClock::WallClock() = default;

WallTime WallClock::Now() const {
  std::timespec now{};
  // CLOCK_REALTIME always exists; the call cannot fail with a valid pointer.
  ::clock_gettime(CLOCK_REALTIME, &now);
  return WallTime{
      std::chrono::seconds(now.tv_sec) +
      std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::nanoseconds(now.tv_nsec))};
}

}  // namespace horalux
