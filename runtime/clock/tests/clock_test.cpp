#include "runtime/clock/clock.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/base/error.h"
#include "testing/fake_clock.h"

namespace horalux {
namespace {

using namespace std::chrono_literals;
using std::chrono::year_month_day;
using testing::FakeClock;

TEST(SetLocalDateFromText, PassesTheDateOnToTheClock) {
  FakeClock clock;
  SetLocalDateFromText(clock, "2024-02-29");
  SetLocalDateFromText(clock, "0100-01-01");
  SetLocalDateFromText(clock, "9999-12-31");
  const std::vector<FakeClock::Change> expected = {year_month_day{2024y / 2 / 29},
                                                   year_month_day{100y / 1 / 1},
                                                   year_month_day{9999y / 12 / 31}};
  EXPECT_EQ(clock.changes(), expected);
}

TEST(SetLocalTimeFromText, PassesTheTimeOfDayOnToTheClock) {
  FakeClock clock;
  SetLocalTimeFromText(clock, "00:00:00");
  SetLocalTimeFromText(clock, "23:59:59");
  SetLocalTimeFromText(clock, "08:05:09");
  const std::vector<FakeClock::Change> expected = {0s, 23h + 59min + 59s, 8h + 5min + 9s};
  EXPECT_EQ(clock.changes(), expected);
}

TEST(SetLocalDateFromText, RefusesEveryOtherTextAndLeavesTheClockAlone) {
  for (const std::string text :
       {"", "2024-2-29", "2024-02-30", "2023-02-29", "2024-13-01", "2024-00-10", "2024-01-00",
        "24-01-01", "2024/01/01", "2024-01-01 ", " 2024-01-01", "2024-01-01x", "+024-01-01",
        "2024-0a-01", "２０２４-01-01", "2024-01-01T00"}) {
    FakeClock clock;
    try {
      SetLocalDateFromText(clock, text);
      ADD_FAILURE() << "accepted " << text;
    } catch (const Error& error) {
      EXPECT_EQ(error.kind(), ErrorKind::kTypeMismatch) << text;
      EXPECT_NE(error.detail().find(Quoted(text)), std::string::npos) << error.what();
    }
    EXPECT_TRUE(clock.changes().empty()) << text;
  }
}

TEST(SetLocalTimeFromText, RefusesEveryOtherTextAndLeavesTheClockAlone) {
  for (const std::string text :
       {"", "24:00:00", "23:60:00", "23:59:60", "8:05:09", "08:5:09", "08-05-09", "08:05",
        "08:05:09 ", " 08:05:09", "08:05:09.5", "-1:00:00", "0a:00:00", "08:05:09 PM"}) {
    FakeClock clock;
    try {
      SetLocalTimeFromText(clock, text);
      ADD_FAILURE() << "accepted " << text;
    } catch (const Error& error) {
      EXPECT_EQ(error.kind(), ErrorKind::kTypeMismatch) << text;
      EXPECT_NE(error.detail().find(Quoted(text)), std::string::npos) << error.what();
    }
    EXPECT_TRUE(clock.changes().empty()) << text;
  }
}

}  // namespace
}  // namespace horalux
