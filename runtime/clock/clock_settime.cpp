#include "runtime/clock/clock_settime.h"

#include <cerrno>
#include <ctime>
#include <string>

#include "runtime/base/error.h"
#include "runtime/clock/refusal_linux.h"

namespace horalux {

namespace {

using std::chrono::nanoseconds;

std::timespec TimespecOf(std::chrono::sys_time<nanoseconds> utc) {
  const auto whole_seconds = std::chrono::floor<std::chrono::seconds>(utc);
  std::timespec moment{};
  moment.tv_sec = static_cast<std::time_t>(whole_seconds.time_since_epoch().count());
  moment.tv_nsec = static_cast<long>((utc - whole_seconds).count());
  return moment;
}

[[noreturn]] void RefuseDirectSetting(int error, std::chrono::local_seconds wanted,
                                      const TimedatedCause& why_direct) {
  const std::string lead =
      std::string(WordingOf(why_direct.failure).cause) + why_direct.note + "，";
  // The system's own words follow the cause they belong to, ahead of the remedy.
  throw LinuxRefusal(error == EPERM ? ClockFailure::kDirectSettingNeedsPrivilege
                                    : ClockFailure::kDirectSettingFailed,
                     ErrnoNote(error), wanted, lead);
}

}  // namespace

void SetWithClockSettime(std::chrono::sys_time<std::chrono::microseconds> utc,
                         std::chrono::local_seconds wanted, const TimedatedCause& why_direct) {
  const std::timespec moment = TimespecOf(utc);
  if (::clock_settime(CLOCK_REALTIME, &moment) == 0) return;
  RefuseDirectSetting(errno, wanted, why_direct);
}

void AdjustWithClockSettime(std::chrono::microseconds offset, std::chrono::local_seconds wanted,
                            const TimedatedCause& why_direct) {
  std::timespec now{};
  if (::clock_gettime(CLOCK_REALTIME, &now) != 0) RefuseDirectSetting(errno, wanted, why_direct);
  const std::chrono::sys_time<nanoseconds> moved{std::chrono::seconds(now.tv_sec) +
                                                 nanoseconds(now.tv_nsec) + offset};
  const std::timespec moment = TimespecOf(moved);
  if (::clock_settime(CLOCK_REALTIME, &moment) == 0) return;
  RefuseDirectSetting(errno, wanted, why_direct);
}

}  // namespace horalux
