#include "runtime/clock/clock_linux.h"

#include <unistd.h>

#include <cstdlib>
#include <utility>

#include "runtime/base/error.h"
#include "runtime/clock/clock_settime.h"
#include "runtime/clock/polkit_client.h"
#include "runtime/clock/refusal_linux.h"
#include "runtime/clock/timedated_client.h"
#include "runtime/clock/zone_rules.h"

namespace horalux {

namespace {

using std::chrono::days;
using std::chrono::floor;
using std::chrono::local_seconds;
using std::chrono::microseconds;
using std::chrono::seconds;
using std::chrono::sys_seconds;
using std::chrono::sys_time;

// Whether polkit can ask for a password on a move of the clock: only where someone sits at a
// terminal in a desktop session, whose agent shows the prompt. Over ssh or in a service nobody
// can answer one, and the refusal says to run the command with sudo instead.
bool PromptCanBeAnswered() {
  const bool desktop =
      std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr;
  return desktop && ::isatty(STDIN_FILENO) == 1;
}

class LinuxClock : public Clock {
 public:
  LinuxClock(NowSource now, bool as_root) : now_(std::move(now)), as_root_(as_root) {}

  void Authorize() override {
    if (!as_root_) AuthorizeThroughPolkit();
  }

  void SetLocalDate(std::chrono::year_month_day date) override {
    if (!date.ok()) {
      throw Error(ErrorKind::kTypeMismatch, "不是有效的日期，系统日期未更改");
    }
    const auto now = floor<microseconds>(now_());
    const auto now_seconds = floor<seconds>(now);
    const local_seconds local_now = UtcToLocal(now_seconds);
    const local_seconds wanted =
        std::chrono::local_days{date} + (local_now - floor<days>(local_now));
    // The fraction of the running second is part of the time of day being kept.
    Set(wanted, LocalToUtc(wanted) + (now - now_seconds));
  }

  void SetLocalTimeOfDay(seconds time_of_day) override {
    CheckTimeOfDay(time_of_day);
    const local_seconds local_now = UtcToLocal(floor<seconds>(now_()));
    const local_seconds wanted = floor<days>(local_now) + time_of_day;
    Set(wanted, LocalToUtc(wanted));
  }

  void AdjustBy(microseconds offset) override {
    // Only for the messages: the clock is moved by timedated or the kernel from its own reading.
    const auto moved = floor<microseconds>(now_()) + offset;
    if (moved < sys_seconds{}) {
      throw LinuxRefusal(ClockFailure::kBeforeEpoch, "", std::nullopt);
    }
    const local_seconds wanted = UtcToLocal(floor<seconds>(moved));
    const TimedatedSetting setting{offset.count(), true, PromptCanBeAnswered()};
    if (const auto why_direct = SetThroughTimedated(setting, wanted)) {
      AdjustWithClockSettime(offset, wanted, *why_direct);
    }
  }

 private:
  static void Set(local_seconds wanted, sys_time<microseconds> utc) {
    // Neither timedated nor the kernel takes a time before the epoch.
    if (utc < sys_seconds{}) {
      throw LinuxRefusal(ClockFailure::kBeforeEpoch, "", wanted);
    }
    if (const auto why_direct =
            SetThroughTimedated({utc.time_since_epoch().count(), false, true}, wanted)) {
      SetWithClockSettime(utc, wanted, *why_direct);
    }
  }

  NowSource now_;
  bool as_root_;
};

}  // namespace

std::unique_ptr<Clock> OpenLinuxClock(NowSource now, bool as_root) {
  return std::make_unique<LinuxClock>(std::move(now), as_root);
}

std::unique_ptr<Clock> OpenSystemClock() {
  return OpenLinuxClock([] { return std::chrono::system_clock::now(); }, ::geteuid() == 0);
}

}  // namespace horalux
