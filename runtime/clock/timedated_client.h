// The client of systemd-timedated on the system bus: asks it to set the clock, letting polkit
// prompt for a password on the way.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "runtime/clock/clock_failure.h"

namespace horalux {

// A cause, and the system's own words that follow it in the message.
struct TimedatedCause {
  ClockFailure failure;
  std::string note;
};

// What SetTime is asked: the time itself, or with `relative` an offset from the time at the
// moment timedated sets it.
struct TimedatedSetting {
  std::int64_t usec = 0;  // microseconds since the epoch (UTC), or the offset (positive: forward)
  bool relative = false;
  // Whether polkit may ask for a password. The window asks; a run from a terminal or a service
  // has no agent to ask with, and its refusals say to run it with sudo instead.
  bool interactive = true;
};

// Asks timedated to change the clock (`wanted` is the resulting local time, for the messages).
// Returns why timedated could not be reached (kNoSystemBus, kNoTimedated), if it could not;
// raises ErrorKind::kClockRefused if it was reached and refused.
std::optional<TimedatedCause> SetThroughTimedated(const TimedatedSetting& setting,
                                                  std::chrono::local_seconds wanted);

}  // namespace horalux
