// The Linux clock's refusals as the user reads them, worded from the table of clock failures;
// shared by the timedated client, the polkit client and clock_settime.
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

#include "runtime/base/error.h"
#include "runtime/clock/clock_failure.h"

namespace horalux {

// ErrorKind::kClockRefused: `lead` (why the clock was set directly, when it was), the cause,
// `note` (the system's own words), the local time that was wanted when there was one, then the
// remedy.
Error LinuxRefusal(ClockFailure failure, std::string_view note,
                   std::optional<std::chrono::local_seconds> wanted, std::string_view lead = {});

}  // namespace horalux
