// The Windows wall clock, both ways of reading it: the precise system time where Windows has it,
// and the anchor to the performance counter that stands in for it on Windows 7.
#include <windows.h>

#include <chrono>
#include <functional>

#include <gtest/gtest.h>

#include "runtime/base/wall_clock_windows.h"

namespace horalux {
namespace {

WallTime CoarseSystemTime() {
  FILETIME time{};
  ::GetSystemTimeAsFileTime(&time);
  const auto hundreds = (static_cast<long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
  return WallTime{std::chrono::microseconds{(hundreds - 116444736000000000LL) / 10}};
}

TEST(WindowsWallClock, ReadingsNeverGoBackAndKeepToTheSystemTime) {
  const WallClock clock;
  const CounterAnchor anchor = TakeCounterAnchor();
  const struct {
    const char* reader;
    std::function<WallTime()> now;
  } cases[] = {
      {"the wall clock", [&] { return clock.Now(); }},
      {"the counter's anchor", [&] { return AnchoredTime(anchor); }},
  };
  // One coarse tick, and a little for a loaded machine.
  constexpr auto kTolerance = std::chrono::milliseconds(20);
  for (const auto& c : cases) {
    WallTime last = c.now();
    for (int i = 0; i < 2000; ++i) {
      const WallTime now = c.now();
      EXPECT_GE(now, last) << c.reader;
      const auto apart = now - CoarseSystemTime();
      EXPECT_LT(apart < apart.zero() ? -apart : apart, kTolerance) << c.reader;
      last = now;
    }
  }
}

}  // namespace
}  // namespace horalux
