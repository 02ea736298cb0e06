// Windows picture strings of the user locale, and what takes the place of those that cannot be
// read back.
#include "runtime/datetime/picture_forms.h"

#include <chrono>
#include <ostream>

#include <gtest/gtest.h>

namespace horalux {
namespace {

using namespace std::chrono;

struct PictureCase {
  const char* name;
  const char* short_date;
  const char* long_time;
  const char* am;
  const char* pm;
  const char* afternoon;  // 1994-11-06 16:49:37
  const char* morning;    // 2001-02-03 01:02:03
  friend std::ostream& operator<<(std::ostream& out, const PictureCase& c) {
    return out << '"' << c.short_date << "\" \"" << c.long_time << '"';
  }
};

class LocalePicture : public testing::TestWithParam<PictureCase> {};

TEST_P(LocalePicture, WritesAndReadsBackTheLocalesForm) {
  const PictureCase& c = GetParam();
  const TextForms forms = TextFormsFromPictures(c.short_date, c.long_time, c.am, c.pm);
  const OleDate afternoon =
      OleDate::FromLocalSeconds(local_days{1994y / 11 / 6} + 16h + 49min + 37s);
  const OleDate morning = OleDate::FromLocalSeconds(local_days{2001y / 2 / 3} + 1h + 2min + 3s);
  EXPECT_EQ(FormatDateTime(afternoon, forms), c.afternoon);
  EXPECT_EQ(FormatDateTime(morning, forms), c.morning);
  EXPECT_EQ(ParseDateTime(c.afternoon, forms), afternoon);
  EXPECT_EQ(ParseDateTime(c.morning, forms), morning);
}

INSTANTIATE_TEST_SUITE_P(
    Pictures, LocalePicture,
    testing::Values(PictureCase{"UnitedStates", "M/d/yyyy", "h:mm:ss tt", "AM", "PM",
                                "11/6/1994 4:49:37 PM", "2/3/2001 1:02:03 AM"},
                    PictureCase{"China", "yyyy/M/d", "H:mm:ss", "上午", "下午",
                                "1994/11/6 16:49:37", "2001/2/3 1:02:03"},
                    PictureCase{"Germany", "dd.MM.yyyy", "HH:mm:ss", "", "", "06.11.1994 16:49:37",
                                "03.02.2001 01:02:03"},
                    PictureCase{"DayPeriodFirst", "yyyy/M/d", "tt h:mm:ss", "上午", "下午",
                                "1994/11/6 下午 4:49:37", "2001/2/3 上午 1:02:03"},
                    PictureCase{"QuotedUnitWords", "yyyy'年'M'月'd'日'", "H'时'mm'分'ss'秒'", "",
                                "", "1994年11月6日 16时49分37秒", "2001年2月3日 1时02分03秒"},
                    PictureCase{"DoubledQuoteIsAQuoteMark", "dd''MM''yyyy", "HH:mm:ss", "", "",
                                "06'11'1994 16:49:37", "03'02'2001 01:02:03"},
                    PictureCase{"TwoDigitYearIsWidened", "dd/MM/yy", "HH:mm:ss", "", "",
                                "06/11/1994 16:49:37", "03/02/2001 01:02:03"},
                    PictureCase{"NamesBecomeNumbers", "ddd, dd MMM yyyy", "HH:mm:ss", "", "",
                                "06 11 1994 16:49:37", "03 02 2001 01:02:03"},
                    PictureCase{"EraIsLeftOut", "gg yyyy/MM/dd", "HH:mm:ss", "", "",
                                "1994/11/06 16:49:37", "2001/02/03 01:02:03"},
                    PictureCase{"SecondsAreAdded", "yyyy-MM-dd", "h:mm tt", "AM", "PM",
                                "1994-11-06 4:49:37 PM", "2001-02-03 1:02:03 AM"},
                    PictureCase{"TwelveHourWithoutDayPeriodNames", "yyyy-MM-dd", "hh:mm:ss tt", "",
                                "", "1994-11-06 16:49:37", "2001-02-03 01:02:03"},
                    PictureCase{"NumbersRunningTogetherArePadded", "yyyyMd", "Hmmss", "", "",
                                "1994116 164937", "2001023 010203"}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace horalux
