// The Windows clock with its seam open: the elevation of this process's token, which decides what a
// refusal for want of the privilege tells the user. OpenSystemClock() is this clock asking the
// token itself.
#pragma once

#include <functional>
#include <memory>

#include "runtime/clock/clock.h"
#include "runtime/clock/clock_failure.h"

namespace horalux {

enum class Elevation { kElevated, kNotElevated, kUnknown };
using ElevationSource = std::function<Elevation()>;

// The cause of a refusal for want of the privilege to change the time: a process that does not
// run as administrator lacks it (and running as administrator is also the best guess when the
// elevation is unknown); an elevated one lacks it only where the computer's policy withholds it.
ClockFailure PrivilegeRefusalCause(Elevation elevation);

// Sets the clock with SetLocalTime; `elevation` is asked only when the privilege is refused.
std::unique_ptr<Clock> OpenWindowsClock(ElevationSource elevation);

}  // namespace horalux
