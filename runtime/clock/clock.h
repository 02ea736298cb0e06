// The computer's clock: setting the local date while keeping the time of day, the local time of
// day while keeping the date, and moving the clock by an offset. One source per platform provides
// the system's clock.
#pragma once

#include <chrono>
#include <memory>
#include <string_view>

namespace horalux {

class Clock {
 public:
  virtual ~Clock() = default;

  // Asks the system, once, for the right to set the clock, before the time to set is fetched: a
  // password prompt then falls before the fetch, not between the fetch and the setting, where it
  // would leave the clock behind by as long as the user took to type. Raises
  // ErrorKind::kClockRefused when the right is refused or the prompt is cancelled. Where setting
  // needs no prior consent (the default, Windows) there is nothing to ask.
  virtual void Authorize() {}

  // Refusals raise ErrorKind::kClockRefused with a message that names the cause.
  virtual void SetLocalDate(std::chrono::year_month_day date) = 0;
  virtual void SetLocalTimeOfDay(std::chrono::seconds time_of_day) = 0;

  // Moves the system clock by `offset` (positive: forward) at the moment of the call, so that
  // nothing goes stale between measuring and setting. Refusals raise ErrorKind::kClockRefused
  // with a message that names the cause.
  virtual void AdjustBy(std::chrono::microseconds offset) = 0;
};

// "yyyy-mm-dd" and "hh:mm:ss" texts; anything else raises ErrorKind::kTypeMismatch.
void SetLocalDateFromText(Clock& clock, std::string_view date_text);
void SetLocalTimeFromText(Clock& clock, std::string_view time_text);

// For the platform clocks: raises ErrorKind::kTypeMismatch unless `time_of_day` lies within one
// day, 00:00:00 to 23:59:59.
void CheckTimeOfDay(std::chrono::seconds time_of_day);

// The computer's own clock. On Linux it goes through systemd-timedated, where polkit may ask the
// user for a password, and where no timedated is reachable it needs root or CAP_SYS_TIME; on
// Windows it needs administrator rights. Either way a call returns once the system has answered (on
// Linux, after two minutes at most for a setting, five for the password prompt of Authorize).
std::unique_ptr<Clock> OpenSystemClock();

}  // namespace horalux
