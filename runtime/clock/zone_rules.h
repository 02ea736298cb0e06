// Conversions between UTC and the computer's local civil time under the system's time-zone rules
// (TZ, else /etc/localtime), for the clock of POSIX systems, which can only be set in UTC.
// Windows sets local time itself and does not build this.
#pragma once

#include <chrono>

namespace horalux {

// The local civil time at the moment `utc`.
std::chrono::local_seconds UtcToLocal(std::chrono::sys_seconds utc);

// The moment at which local clocks show `local`.
// - In a gap (clocks jumped over `local`, as when summer time begins) the wall clock's own answer
//   is taken: the time is read with the offset in force before the jump, which lands as far after
//   the gap as `local` lies inside it (02:30 in a 02:00→03:00 jump becomes 03:30).
// - In an overlap (clocks showed `local` twice, as when summer time ends) the first occurrence is
//   taken: it is the moment the clock reached first.
std::chrono::sys_seconds LocalToUtc(std::chrono::local_seconds local);

}  // namespace horalux
