// The local wall clock read as finely as the platform allows, for measuring a server's clock to
// the millisecond. On Linux that is CLOCK_REALTIME. Windows 7 reads its system time in steps of
// about 15.6 ms and lacks GetSystemTimePreciseAsFileTime, so there one reading of the system time
// is anchored to QueryPerformanceCounter when the clock is made, and every later reading is the
// anchor plus the counter's advance. One source per platform.
#pragma once

#include <chrono>
#include <cstdint>

namespace horalux {

using WallTime = std::chrono::sys_time<std::chrono::microseconds>;

class WallClock {
 public:
  // Takes the anchor, where the platform needs one.
  WallClock();

  WallTime Now() const;

 private:
  // Windows: the counter's value and frequency at the anchor, and the system time read then
  // (unused on Linux).
  [[maybe_unused]] std::int64_t anchor_ticks_ = 0;
  [[maybe_unused]] std::int64_t ticks_per_second_ = 0;
  [[maybe_unused]] WallTime anchor_time_{};
};

}  // namespace horalux
