// Setting the clock directly with clock_settime, where systemd-timedated cannot be reached: this
// needs root or CAP_SYS_TIME.
#pragma once

#include <chrono>

#include "runtime/clock/timedated_client.h"

namespace horalux {

// Sets the clock to `utc` (`wanted` is the same moment in local time); raises
// ErrorKind::kClockRefused naming `why_direct`, why timedated was not used, when the kernel
// refuses.
void SetWithClockSettime(std::chrono::sys_time<std::chrono::microseconds> utc,
                         std::chrono::local_seconds wanted, const TimedatedCause& why_direct);

// Moves the clock by `offset` from the time read just before setting it, so that no time passes
// between the reading and the setting but the call's own; refusals as SetWithClockSettime's.
void AdjustWithClockSettime(std::chrono::microseconds offset, std::chrono::local_seconds wanted,
                            const TimedatedCause& why_direct);

}  // namespace horalux
