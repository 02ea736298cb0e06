// The client of polkit on the system bus: asks, once, for the right to have systemd-timedated set
// the clock, prompting for a password, and the names of polkit's refusals.
#pragma once

namespace horalux {

// The errors polkit answers with, passed on by timedated as its own.
inline constexpr const char* kPolkitNotAuthorized =
    "org.freedesktop.PolicyKit1.Error.NotAuthorized";
inline constexpr const char* kPolkitCancelled = "org.freedesktop.PolicyKit1.Error.Cancelled";

// Asks polkit whether this process may have timedated set the clock, letting it prompt for a
// password. polkit keeps a granted auth_admin_keep for the process (not for the connection), so
// the SetTime calls that follow, each on a connection of its own, pass without a prompt. Raises
// ErrorKind::kClockRefused when refused or cancelled; where polkit is not on the bus, or cannot
// answer, it returns and leaves timedated to ask for itself.
void AuthorizeThroughPolkit();

}  // namespace horalux
