#include "runtime/datetime/pattern_format.h"

#include <chrono>
#include <ostream>

#include <gtest/gtest.h>

namespace horalux {
namespace {

using namespace std::chrono;

struct PatternCase {
  const char* pattern;
  const char* expected;
  friend std::ostream& operator<<(std::ostream& out, const PatternCase& c) {
    return out << '"' << c.pattern << '"';
  }
};

class PatternOfAnAfternoon : public testing::TestWithParam<PatternCase> {};

TEST_P(PatternOfAnAfternoon, WritesThePartsThePatternNames) {
  const OleDate value = OleDate::FromLocalSeconds(local_days{1994y / 11 / 6} + 16h + 9min + 7s);
  EXPECT_EQ(FormatPattern(value, GetParam().pattern), GetParam().expected) << GetParam().pattern;
}

INSTANTIATE_TEST_SUITE_P(Patterns, PatternOfAnAfternoon,
                         testing::Values(PatternCase{"yyyy-mm-dd", "1994-11-06"},
                                         // "mm" right after an hour is the minute, not the month.
                                         PatternCase{"hh:mm:ss", "16:09:07"},
                                         PatternCase{"h:m:s", "16:9:7"},
                                         PatternCase{"hh:nn:ss", "16:09:07"},
                                         PatternCase{"yyyy-m-d", "1994-11-6"},
                                         PatternCase{"yy/mm/dd hh:mm", "94/11/06 16:09"},
                                         PatternCase{"mm/dd/yyyy hh mm", "11/06/1994 16 09"},
                                         PatternCase{"", ""}, PatternCase{"[T]", "[T]"}));

TEST(PatternFormat, EdgesOfTheRangeKeepFourDigitYears) {
  EXPECT_EQ(FormatPattern(OleDate::FromLocalSeconds(local_days{100y / 1 / 1}), "yyyy-mm-dd"),
            "0100-01-01");
  EXPECT_EQ(FormatPattern(OleDate::FromDays(-1.25), "yyyy-mm-dd hh:mm:ss"), "1899-12-29 06:00:00");
}

TEST(PatternFormat, RoundsToTheNearestSecondFirst) {
  const double almost_midnight =
      OleDate::FromLocalSeconds(local_days{1999y / 12 / 31} + 86399s).days() + 0.6 / 86400.0;
  const OleDate value = OleDate::FromDays(almost_midnight);
  EXPECT_EQ(FormatPattern(value, "yyyy-mm-dd"), "2000-01-01");
  EXPECT_EQ(FormatPattern(value, "hh:mm:ss"), "00:00:00");
}

}  // namespace
}  // namespace horalux
