// The Linux clock with its seam open: the source of "now" that setting the date or the time of
// day keeps the rest from. OpenSystemClock() is this clock reading the real time.
#pragma once

#include <chrono>
#include <functional>
#include <memory>

#include "runtime/clock/clock.h"

namespace horalux {

using NowSource = std::function<std::chrono::system_clock::time_point()>;

// Sets the clock through systemd-timedated on the system bus (DBUS_SYSTEM_BUS_ADDRESS, else the
// standard socket), letting polkit ask the user for a password. Where no timedated is reachable it
// sets the clock with clock_settime, which needs root or CAP_SYS_TIME.
// Authorize asks polkit for timedated's set-time action on behalf of this process, so that the
// settings that follow within polkit's five minutes pass without a prompt; where polkit is not on
// the bus it has nothing to ask. `as_root`: the program runs as root, whom polkit lets through
// without asking, so Authorize does nothing.
std::unique_ptr<Clock> OpenLinuxClock(NowSource now, bool as_root);

}  // namespace horalux
