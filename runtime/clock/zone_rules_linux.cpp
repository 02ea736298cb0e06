#include "runtime/clock/zone_rules.h"

#include <cerrno>
#include <ctime>
#include <string>

#include "runtime/base/error.h"

namespace horalux {

namespace {

using std::chrono::days;
using std::chrono::local_seconds;
using std::chrono::seconds;
using std::chrono::sys_seconds;

std::tm LocalBrokenDown(sys_seconds utc) {
  // localtime_r need not look at TZ again after the first call (glibc does not); tzset makes a
  // changed TZ count.
  ::tzset();
  const std::time_t moment = static_cast<std::time_t>(utc.time_since_epoch().count());
  std::tm fields{};
  if (::localtime_r(&moment, &fields) == nullptr) {
    throw SystemError(ErrorKind::kSystem, errno,
                      "无法换算时刻 " + std::to_string(moment) + " 的本地时间");
  }
  return fields;
}

seconds UtcOffsetAt(sys_seconds utc) { return seconds{LocalBrokenDown(utc).tm_gmtoff}; }

}  // namespace

local_seconds UtcToLocal(sys_seconds utc) {
  const std::tm fields = LocalBrokenDown(utc);
  const std::chrono::year_month_day date{
      std::chrono::year{fields.tm_year + 1900},
      std::chrono::month{static_cast<unsigned>(fields.tm_mon + 1)},
      std::chrono::day{static_cast<unsigned>(fields.tm_mday)}};
  return std::chrono::local_days{date} + std::chrono::hours{fields.tm_hour} +
         std::chrono::minutes{fields.tm_min} + seconds{fields.tm_sec};
}

sys_seconds LocalToUtc(local_seconds local) {
  // mktime leaves gaps and overlaps to the C library, so the offsets are examined directly. Zones
  // change their offset at most once within a day, so the offsets in force a day before and a day
  // after are the only ones that can apply to `local`.
  const sys_seconds as_if_utc{local.time_since_epoch()};
  const seconds offset_before = UtcOffsetAt(as_if_utc - days{1});
  const seconds offset_after = UtcOffsetAt(as_if_utc + days{1});

  const sys_seconds with_offset_before = as_if_utc - offset_before;
  const sys_seconds with_offset_after = as_if_utc - offset_after;
  const bool before_holds = UtcOffsetAt(with_offset_before) == offset_before;
  const bool after_holds = UtcOffsetAt(with_offset_after) == offset_after;

  if (before_holds && after_holds) return std::min(with_offset_before, with_offset_after);
  if (after_holds) return with_offset_after;
  // Either only the earlier offset holds, or neither does and `local` lies in a gap.
  return with_offset_before;
}

}  // namespace horalux
