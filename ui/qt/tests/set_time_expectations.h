// What a press asks systemd-timedated for when the clock is the real one and the service a
// stand-in that never moves it: each step keeps the rest from the real time. The date set keeps
// the real local time of day, the time set keeps the real local date. The expectations are
// worked out with a zone's one fixed offset, independently of the zone rules the clock uses, so
// they hold only for zones that keep one offset all year (UTC, Asia/Shanghai).
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include <QTest>

#include "testing/timedated_mock.h"

namespace horalux::testing {

using UsecUtc = std::chrono::sys_time<std::chrono::microseconds>;

inline UsecUtc NowUsec() {
  return std::chrono::floor<std::chrono::microseconds>(std::chrono::system_clock::now());
}

// The moment the clock reads as "now" falls somewhere between `before` and `after`, the real times
// read around the press.
struct PressInterval {
  UsecUtc before;
  UsecUtc after;
  std::chrono::hours zone_offset;

  // The date set to `date` kept the local time of day the clock read during the press. That time
  // runs on with the real one, except that it starts again at midnight, which may fall in between.
  bool KeptTimeOfDay(std::int64_t usec_utc, std::chrono::year_month_day date) const {
    const UsecUtc asked{std::chrono::microseconds{usec_utc}};
    const auto elapsed = after - before;
    const UsecUtc earliest = DateKeepingTimeOfDay(date, before);
    const UsecUtc latest = DateKeepingTimeOfDay(date, after);
    return (asked >= earliest && asked <= earliest + elapsed) ||
           (asked <= latest && asked >= latest - elapsed);
  }

  // The time of day set to `time_of_day` kept the local date of the press, which may have changed
  // at midnight in between.
  bool KeptDate(std::int64_t usec_utc, std::chrono::seconds time_of_day) const {
    const UsecUtc asked{std::chrono::microseconds{usec_utc}};
    return asked == TimeOfDayKeepingDate(time_of_day, before) ||
           asked == TimeOfDayKeepingDate(time_of_day, after);
  }

 private:
  using LocalUsec = std::chrono::local_time<std::chrono::microseconds>;

  LocalUsec ToLocal(UsecUtc utc) const { return LocalUsec{utc.time_since_epoch() + zone_offset}; }
  UsecUtc ToUtc(LocalUsec local) const { return UsecUtc{local.time_since_epoch() - zone_offset}; }

  // Setting the date at the real moment `now`: that date at now's local time of day.
  UsecUtc DateKeepingTimeOfDay(std::chrono::year_month_day date, UsecUtc now) const {
    const LocalUsec local_now = ToLocal(now);
    return ToUtc(std::chrono::local_days{date} +
                 (local_now - std::chrono::floor<std::chrono::days>(local_now)));
  }
  // Setting the time of day at `now`: now's local date at that time.
  UsecUtc TimeOfDayKeepingDate(std::chrono::seconds time_of_day, UsecUtc now) const {
    return ToUtc(std::chrono::floor<std::chrono::days>(ToLocal(now)) + time_of_day);
  }
};

inline std::string Describe(const std::vector<SetTimeCall>& calls) {
  std::string text;
  for (const auto& call : calls) {
    text += "SetTime(" + std::to_string(call.usec_utc) + ", " + (call.relative ? "true" : "false") +
            ", " + (call.interactive ? "true" : "false") + ") ";
  }
  return text.empty() ? "no SetTime" : text;
}

// The calls of one successful press: the date, then the time of day, each keeping the rest from
// the real time read during the press. Records a Qt Test failure when they are not.
inline void ExpectDateThenTimeOfDay(const std::vector<SetTimeCall>& calls,
                                    const PressInterval& press, std::chrono::year_month_day date,
                                    std::chrono::seconds time_of_day) {
  QVERIFY2(calls.size() == 2, Describe(calls).c_str());
  QVERIFY2(press.KeptTimeOfDay(calls[0].usec_utc, date),
           ("the date set did not keep the real time of day: " + Describe(calls)).c_str());
  QVERIFY2(press.KeptDate(calls[1].usec_utc, time_of_day),
           ("the time set did not keep the real date: " + Describe(calls)).c_str());
  for (const auto& call : calls) {
    QVERIFY(!call.relative);
    QVERIFY(call.interactive);
    QVERIFY(call.allows_interactive_authorization);
  }
}

}  // namespace horalux::testing
