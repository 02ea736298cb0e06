#include "runtime/datetime/ole_date.h"

#include <cmath>
#include <limits>
#include <ostream>
#include <random>
#include <string>

#include <gtest/gtest.h>

#include "runtime/base/error.h"

namespace horalux {
namespace {

using namespace std::chrono;

constexpr local_seconds At(year_month_day date, seconds time_of_day = 0s) {
  return local_days{date} + time_of_day;
}

struct DaysCase {
  double days;
  local_seconds moment;
  friend std::ostream& operator<<(std::ostream& out, const DaysCase& c) { return out << c.days; }
};

class DaysToMoment : public testing::TestWithParam<DaysCase> {};

TEST_P(DaysToMoment, ReadsTheWholePartAsDaysAndTheFractionAsTimeOfDay) {
  EXPECT_EQ(OleDate::FromDays(GetParam().days).ToLocalSeconds(), GetParam().moment)
      << GetParam().days;
}

INSTANTIATE_TEST_SUITE_P(
    OleRule, DaysToMoment,
    testing::Values(DaysCase{0.0, At(1899y / 12 / 30)},
                    DaysCase{1.0 / 3.0, At(1899y / 12 / 30, 8h)},
                    DaysCase{34644.7011226852, At(1994y / 11 / 6, 16h + 49min + 37s)},
                    // Before the epoch the fraction still points forward into the day.
                    DaysCase{-1.25, At(1899y / 12 / 29, 6h)}, DaysCase{-1.0, At(1899y / 12 / 29)},
                    DaysCase{-2.5, At(1899y / 12 / 28, 12h)},
                    // Between -1 and 0 the whole part is day 0.
                    DaysCase{-0.5, At(1899y / 12 / 30, 12h)},
                    // Rounded to the nearest second: 23:59:59.6 carries into the next day.
                    DaysCase{1.0 - 0.4 / 86400.0, At(1899y / 12 / 31)},
                    DaysCase{1.0 - 0.6 / 86400.0, At(1899y / 12 / 30, 23h + 59min + 59s)},
                    DaysCase{-657434.0, At(100y / 1 / 1)},
                    DaysCase{2958465.0 + 86399.4 / 86400.0, At(9999y / 12 / 31, 86399s)}));

TEST(OleDateRange, ValuesOutsideTheYears100To9999Overflow) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (const double days : {2958466.0, 2958465.0 + 86399.6 / 86400.0, -657435.0, -657435.5, 1e300,
                            -1e300, inf, -inf, nan}) {
    try {
      OleDate::FromDays(days);
      ADD_FAILURE() << days << " was accepted";
    } catch (const Error& error) {
      EXPECT_EQ(error.kind(), ErrorKind::kOverflow) << days;
    }
  }
}

TEST(OleDateRange, OverflowMessageNamesTheValue) {
  try {
    OleDate::FromDays(2958466.0);
    FAIL();
  } catch (const Error& error) {
    EXPECT_EQ(std::string(error.what()).rfind("溢出：“2958466” ", 0), 0u) << error.what();
  }
}

TEST(OleDateRange, MomentsOutsideTheYears100To9999Overflow) {
  for (const local_seconds moment : {At(99y / 12 / 31, 86399s), At(10000y / 1 / 1)}) {
    try {
      OleDate::FromLocalSeconds(moment);
      ADD_FAILURE() << moment.time_since_epoch().count() << " was accepted";
    } catch (const Error& error) {
      EXPECT_EQ(error.kind(), ErrorKind::kOverflow);
    }
  }
}

TEST(OleDateRoundTrip, EverySecondComesBackExactly) {
  std::mt19937_64 random(20260101);
  const auto first = At(100y / 1 / 1).time_since_epoch().count();
  const auto last = At(9999y / 12 / 31, 86399s).time_since_epoch().count();
  std::uniform_int_distribution<long long> pick(first, last);
  for (int i = 0; i < 100000; ++i) {
    const local_seconds moment{seconds{pick(random)}};
    const OleDate value = OleDate::FromLocalSeconds(moment);
    ASSERT_EQ(value.ToLocalSeconds(), moment) << value.days();
    ASSERT_EQ(OleDate::FromDays(value.days()), value);
  }
}

TEST(OleDateRoundTrip, DaysBeforeTheEpochCarryTheTimeAsANegativeFraction) {
  const OleDate value = OleDate::FromLocalSeconds(At(1899y / 12 / 29, 18h));
  EXPECT_DOUBLE_EQ(value.days(), -1.75);
}

}  // namespace
}  // namespace horalux
