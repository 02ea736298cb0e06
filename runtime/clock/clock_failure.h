// Why the computer's clock was not set, as the user reads it. Each platform's clock maps its
// system's codes (errno values, sd-bus error names, Win32 codes) onto these causes; one table words
// each of them in Chinese, with what the user can do.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace horalux {

enum class ClockFailure {
  // Linux, through systemd-timedated and polkit.
  kAutomaticSyncEnabled,         // timedated takes no manual time while NTP is on
  kAuthenticationCancelled,      // the password prompt was dismissed
  kNotAuthorized,                // refused on setting (the bus's own words follow)
  kNotAuthorizedBeforehand,      // refused when asked before the fetch
  kNoAuthenticationAgent,        // nobody in the session to ask for the password
  kNeedsPrivilegeWithoutPrompt,  // refused where no password is asked for (a terminal, a service)
  kPromptOutlastedTimedated,     // timedated stopped waiting for polkit after 25 s
  kPromptUnanswered,             // the prompt before the fetch was left for 5 minutes
  kTimedatedTimedOut,            // no answer from timedated within our 2 minutes
  kTimedatedRefused,             // any other refusal (its name and message follow)
  kTimedatedUnreachable,         // the exchange with timedated failed (errno follows)
  kTimedatedRequestNotBuilt,     // (errno follows)
  kPolkitRequestNotBuilt,        // (errno follows)
  // Linux, why timedated was not used, ahead of the direct setting's own cause.
  kNoSystemBus,
  kNoTimedated,
  // Linux, clock_settime.
  kDirectSettingNeedsPrivilege,  // EPERM
  kDirectSettingFailed,          // any other errno
  kBeforeEpoch,                  // neither timedated nor the kernel goes before 1970
  // Windows: the step that failed (the system's text and code follow).
  kTokenNotOpened,
  kPrivilegeNotLookedUp,
  kPrivilegeNotEnabled,
  kSettingRefused,
  // Windows: why the privilege is missing, which decides what the user can do about it.
  kNotElevated,            // the program does not run as administrator
  kRightWithheldByPolicy,  // it does, and the computer's policy withholds the right
  // Windows, the windowless modes: from a console, a scheduled task, or under Wine.
  kNotElevatedWindowless,  // a console or script that does not run as administrator
  kWineKeepsItsClock,      // Wine takes no time more than 0.5 s from its own, and sets none
};

struct ClockWording {
  std::string_view cause;   // what went wrong
  std::string_view remedy;  // what the user can do; empty when there is nothing to suggest
};

ClockWording WordingOf(ClockFailure failure);

// The correction a refusal was about: 要将系统时钟调快 2.345 秒 (调慢 for a negative offset).
std::string AdjustmentNote(std::chrono::microseconds offset);

// The local time a refusal was about: 要设为本地时间 “2024-05-17 08:30:00”.
std::string WantedTimeNote(std::chrono::local_seconds wanted);

}  // namespace horalux
