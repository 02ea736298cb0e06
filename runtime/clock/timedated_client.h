// The client of systemd-timedated on the system bus: asks it to set the clock, letting polkit
// prompt for a password on the way.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "runtime/clock/clock_failure.h"

namespace horalux {

// A cause, and the system's own words that follow it in the message.
struct TimedatedCause {
  ClockFailure failure;
  std::string note;
};

// Asks timedated to set the clock to `utc` (`wanted` is the same moment in local time, for the
// messages). Returns why timedated could not be reached (kNoSystemBus, kNoTimedated), if it could
// not; raises ErrorKind::kClockRefused if it was reached and refused.
std::optional<TimedatedCause> SetThroughTimedated(
    std::chrono::sys_time<std::chrono::microseconds> utc, std::chrono::local_seconds wanted);

}  // namespace horalux
