#include "runtime/datetime/ole_date.h"

#include <cmath>
#include <string>

#include "runtime/base/error.h"
#include "runtime/base/text.h"

namespace horalux {
namespace {

using std::chrono::days;
using std::chrono::local_days;
using std::chrono::local_seconds;
using std::chrono::seconds;
using namespace std::chrono_literals;

constexpr local_days kEpoch{std::chrono::year{1899} / std::chrono::December / 30};
constexpr local_seconds kFirstMoment{local_days{std::chrono::year{100} / std::chrono::January / 1}};
constexpr local_seconds kLastMoment{
    local_days{std::chrono::year{9999} / std::chrono::December / 31} + 23h + 59min + 59s};
constexpr double kSecondsPerDay = 86400.0;

// Whole days past the epoch (negative before it) and the time of day in seconds, before any
// range check. The OLE rule reads a negative value as "whole part, then the fraction's absolute
// value as time of day", so the whole part is truncated toward zero rather than floored.
struct DayAndTime {
  double whole_days;
  double time_of_day;  // rounded seconds, 0 .. 86400; 86400 carries into the next day
};

DayAndTime Split(double value) noexcept {
  const double whole = std::trunc(value);
  // Exact: a double minus its own truncation loses no bits.
  const double fraction = std::fabs(value - whole);
  return {whole, std::round(fraction * kSecondsPerDay)};
}

local_seconds Compose(DayAndTime parts) noexcept {
  return local_seconds{kEpoch} + days{static_cast<long long>(parts.whole_days)} +
         seconds{static_cast<long long>(parts.time_of_day)};
}

[[noreturn]] void ThrowOutOfRange(std::string_view value_text) {
  throw Error(ErrorKind::kOverflow, Quoted(value_text) +
                                        " 超出日期时间的范围（公元 100 年 1 月 1 日 0:00:00 至 "
                                        "9999 年 12 月 31 日 23:59:59）");
}

}  // namespace

OleDate OleDate::FromDays(double days) {
  // A coarse bound first, so that the conversion to whole days below cannot overflow; the exact
  // bound is checked on the rounded moment, because that is what the value will be shown as.
  constexpr double kCoarseLimit = 4.0e6;
  if (!(std::fabs(days) < kCoarseLimit)) ThrowOutOfRange(ShortestDecimal(days));
  const local_seconds moment = Compose(Split(days));
  if (moment < kFirstMoment || moment > kLastMoment) ThrowOutOfRange(ShortestDecimal(days));
  return OleDate(days);
}

OleDate OleDate::FromLocalSeconds(local_seconds moment) {
  if (moment < kFirstMoment || moment > kLastMoment) {
    ThrowOutOfRange("1970-01-01 起第 " + std::to_string(moment.time_since_epoch().count()) + " 秒");
  }
  const local_days day = std::chrono::floor<std::chrono::days>(moment);
  const auto whole_days = static_cast<double>((day - kEpoch).count());
  const double fraction = static_cast<double>((moment - day).count()) / kSecondsPerDay;
  // Before the epoch the time of day is written as a fraction pointing away from zero.
  return OleDate(whole_days < 0 ? whole_days - fraction : whole_days + fraction);
}

local_seconds OleDate::ToLocalSeconds() const noexcept { return Compose(Split(days_)); }

}  // namespace horalux
