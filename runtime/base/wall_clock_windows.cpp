// The wall clock on Windows: GetSystemTimePreciseAsFileTime on Windows 8 and later, looked up at
// run time since the exe must load on Windows 7; there, the system time anchored to the
// performance counter.
#include "runtime/base/wall_clock_windows.h"

#include <windows.h>

#include <chrono>

namespace horalux {

namespace {

using PreciseTimeFunction = void(WINAPI*)(LPFILETIME);

// FILETIME counts 100 ns from 1601-01-01; the wall clock, microseconds from 1970-01-01.
constexpr std::int64_t kFileTimeAtUnixEpoch = 116444736000000000;
// At most this many readings while waiting for the coarse clock to tick (one tick is 15.6 ms).
constexpr int kMaxReadingsForAnEdge = 1 << 24;

WallTime FromFileTime(const FILETIME& time) {
  const std::int64_t hundreds = static_cast<std::int64_t>(
      (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
  return WallTime{std::chrono::microseconds{(hundreds - kFileTimeAtUnixEpoch) / 10}};
}

FILETIME CoarseSystemTime() {
  FILETIME time{};
  ::GetSystemTimeAsFileTime(&time);
  return time;
}

bool SameFileTime(const FILETIME& a, const FILETIME& b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

std::int64_t CounterNow() {
  LARGE_INTEGER ticks{};
  ::QueryPerformanceCounter(&ticks);
  return ticks.QuadPart;
}

PreciseTimeFunction LookUpPreciseTime() {
  const HMODULE kernel32 = ::GetModuleHandleW(L"kernel32.dll");
  if (kernel32 == nullptr) return nullptr;
  // Through void(*)(), which converts to any function type without a warning.
  return reinterpret_cast<PreciseTimeFunction>(
      reinterpret_cast<void (*)()>(::GetProcAddress(kernel32, "GetSystemTimePreciseAsFileTime")));
}

// Looked up once for the process; never changes after.
PreciseTimeFunction PreciseTime() {
  static const PreciseTimeFunction function = LookUpPreciseTime();
  return function;
}

}  // namespace

CounterAnchor TakeCounterAnchor() {
  LARGE_INTEGER frequency{};
  ::QueryPerformanceFrequency(&frequency);
  const FILETIME before = CoarseSystemTime();
  FILETIME edge = before;
  std::int64_t ticks = CounterNow();
  for (int i = 0; i < kMaxReadingsForAnEdge && SameFileTime(edge, before); ++i) {
    edge = CoarseSystemTime();
    ticks = CounterNow();
  }
  return {ticks, frequency.QuadPart, FromFileTime(edge)};
}

WallTime AnchoredTime(const CounterAnchor& anchor) {
  const std::int64_t advance = CounterNow() - anchor.ticks;
  // In two parts, so that the product cannot overflow however long the process runs.
  const std::int64_t seconds = advance / anchor.ticks_per_second;
  const std::int64_t rest = advance % anchor.ticks_per_second;
  return anchor.time + std::chrono::seconds{seconds} +
         std::chrono::microseconds{rest * 1'000'000 / anchor.ticks_per_second};
}

bool HasPreciseSystemTime() { return PreciseTime() != nullptr; }

WallClock::WallClock() {
  if (HasPreciseSystemTime()) return;
  const CounterAnchor anchor = TakeCounterAnchor();
  anchor_ticks_ = anchor.ticks;
  ticks_per_second_ = anchor.ticks_per_second;
  anchor_time_ = anchor.time;
}

WallTime WallClock::Now() const {
  if (ticks_per_second_ == 0) {
    FILETIME time{};
    PreciseTime()(&time);
    return FromFileTime(time);
  }
  return AnchoredTime({anchor_ticks_, ticks_per_second_, anchor_time_});
}

}  // namespace horalux
