#include "runtime/datetime/text_forms.h"

#include <random>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/base/error.h"
#include "runtime/datetime/strftime_forms.h"
#include "runtime/datetime/tests/test_locales.h"

namespace horalux {
namespace {

using namespace std::chrono;
using testing::TestLocale;
using testing::TestLocales;

OleDate At(year_month_day date, seconds time_of_day = 0s) {
  return OleDate::FromLocalSeconds(local_days{date} + time_of_day);
}

constexpr seconds kTea = 16h + 49min + 37s;

// The C locale's forms, "11/06/1994 16:49:37", and en_US's twelve-hour ones, built from their
// patterns so that what the reading refuses does not depend on the platform's locale data.
TextForms PlainForms() {
  return TextFormsFromLcTime({"%m/%d/%y", "%H:%M:%S", "%I:%M:%S %p", "AM", "PM"});
}
TextForms TwelveHourForms() {
  return TextFormsFromLcTime({"%m/%d/%Y", "%r", "%I:%M:%S %p", "AM", "PM"});
}

class EachLocale : public ::testing::TestWithParam<TestLocale> {
 protected:
  TextForms forms_ = GetParam().Forms();
};

TEST_P(EachLocale, EdgesOfTheRangeAndOfTheEpochRoundTrip) {
  for (const OleDate value :
       {At(100y / 1 / 1), At(9999y / 12 / 31, 86399s), At(1899y / 12 / 30),
        At(1899y / 12 / 29, 86399s), At(2000y / 2 / 29, 12h), At(1994y / 11 / 6, kTea)}) {
    const std::string text = FormatDateTime(value, forms_);
    EXPECT_EQ(ParseDateTime(text, forms_), value) << text;
    EXPECT_TRUE(IsDateTime(text, forms_)) << text;
  }
}

TEST_P(EachLocale, RandomSecondsRoundTripExactly) {
  std::mt19937_64 random(1994);
  const auto first = (local_days{100y / 1 / 1} - local_days{}).count() * 86400LL;
  const auto last = (local_days{9999y / 12 / 31} - local_days{}).count() * 86400LL + 86399;
  std::uniform_int_distribution<long long> pick(first, last);
  for (int i = 0; i < 10000; ++i) {
    const OleDate value = OleDate::FromLocalSeconds(local_seconds{seconds{pick(random)}});
    const std::string text = FormatDateTime(value, forms_);
    ASSERT_EQ(ParseDateTime(text, forms_), value) << text;
  }
}

TEST_P(EachLocale, TimeOfDayIsRoundedToTheNearestSecond) {
  const double before_midnight = At(1994y / 11 / 6, 86399s).days() + 0.6 / 86400.0;
  EXPECT_EQ(FormatDateTime(OleDate::FromDays(before_midnight), forms_),
            FormatDateTime(At(1994y / 11 / 7), forms_));
}

TEST_P(EachLocale, HttpDateTextIsAcceptedWhateverTheLocale) {
  EXPECT_EQ(ParseDateTime(" 06 Nov 1994 08:49:37", forms_), At(1994y / 11 / 6, 8h + 49min + 37s));
}

INSTANTIATE_TEST_SUITE_P(Locales, EachLocale, ::testing::ValuesIn(TestLocales()),
                         [](const auto& info) { return info.param.label; });

TEST(TimeText, UnknownLocaleIsASystemError) {
  for (const std::string& name : {std::string("xx_NOPE.UTF-8"), std::string("xx-NOPE"),
                                  std::string("en_US\0x", 7), std::string("en-US\0x", 7)}) {
    try {
      TextFormsForLocale(name);
      ADD_FAILURE() << name;
    } catch (const Error& error) {
      EXPECT_EQ(error.kind(), ErrorKind::kSystem);
    }
  }
}

struct Accepted {
  std::string text;
  OleDate value;
};

TEST(ParseDateTime, AcceptsTheHttpDateForm) {
  const OleDate morning = At(1994y / 11 / 6, 8h + 49min + 37s);
  const std::vector<Accepted> cases = {
      {" 06 Nov 1994 08:49:37", morning},
      {" 6 Nov 1994 08:49:37 ", morning},
      {"06 Nov 1994 08:49:37", morning},
      {"   6 NOV 1994 08:49:37\t", morning},
      {" 06 nov 1994 08:49:37", morning},
      {" 29 Feb 2000 00:00:00", At(2000y / 2 / 29)},
      {" 31 Dec 9999 23:59:59", At(9999y / 12 / 31, 86399s)},
      {" 01 Jan 0100 00:00:00", At(100y / 1 / 1)},
  };
  const TextForms forms = PlainForms();
  for (const auto& [text, value] : cases) {
    EXPECT_EQ(ParseDateTime(text, forms), value) << '"' << text << '"';
    EXPECT_TRUE(IsDateTime(text, forms)) << '"' << text << '"';
  }
}

TEST(ParseDateTime, RefusesEverythingElseAsATypeMismatch) {
  const std::vector<std::string> rejected = {
      "",
      "   ",
      " 06 Nov 1994 24:00:00",
      " 31 Feb 1994 08:49:37",
      " 29 Feb 1900 08:49:37",
      " 00 Nov 1994 08:49:37",
      " 06 Nov 1994 08:60:00",
      " 06 Nov 1994 08:49:60",
      " 06 Nov 0099 08:49:37",
      " 06 Nov 94 08:49:37",
      " 006 Nov 1994 08:49:37",
      " 06 November 1994 08:49:37",
      " 06 Nov 1994 8:49:37",
      " 06 Nov 1994 08:49",
      " 6 Nov 1994 08:49:37x",
      "Sun, 06 Nov 1994 08:49:37 GMT",
      " 06 Nov 1994 08:49:37 GMT",
      "13/06/1994 08:49:37",  // a 13th month in the locale's own form
      "11/31/1994 08:49:37",  // 31 November
      "11/06/94 08:49:37",    // the locale writes four-digit years
      "11/06/1994 8:49:37",   // ... and two-digit hours
      "11/06/1994  08:49:37",
      "11/06/1994",
      std::string("11/06/1994 08:49:37\0", 20),
      std::string(" 06 Nov 1994\0 08:49:37", 22),
      "\xff\xfe 06 Nov 1994 08:49:37",
      std::string(100000, ' ') + "x",
  };
  const TextForms forms = PlainForms();
  for (const std::string& text : rejected) {
    EXPECT_FALSE(IsDateTime(text, forms)) << '"' << text << '"';
    try {
      ParseDateTime(text, forms);
      ADD_FAILURE() << '"' << text << "\" was accepted";
    } catch (const Error& error) {
      EXPECT_EQ(error.kind(), ErrorKind::kTypeMismatch) << '"' << text << '"';
    }
  }
}

TEST(ParseDateTime, MessageQuotesTheText) {
  try {
    ParseDateTime(" 6 Nov 1994 08:49:37x", PlainForms());
    FAIL();
  } catch (const Error& error) {
    EXPECT_STREQ(error.what(), "类型不匹配：“ 6 Nov 1994 08:49:37x” 不是有效的日期时间");
  }
}

TEST(ParseDateTime, MessageStaysShortAndReadableForAnyBytes) {
  try {
    ParseDateTime(std::string("\0\xff", 2) + std::string(10000, 'x'), PlainForms());
    FAIL();
  } catch (const Error& error) {
    const std::string message = error.what();
    EXPECT_LT(message.size(), 300u);
    EXPECT_NE(message.find("\\x00\\xFF"), std::string::npos) << message;
  }
}

TEST(ParseDateTime, TwelveHourTimeReadsTheDayPeriod) {
  const TextForms forms = TwelveHourForms();
  const std::vector<Accepted> cases = {
      {"11/06/1994 12:00:00 AM", At(1994y / 11 / 6)},
      {"11/06/1994 12:00:00 PM", At(1994y / 11 / 6, 12h)},
      {"11/06/1994 11:59:59 PM", At(1994y / 11 / 6, 86399s)},
  };
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseDateTime(text, forms), value) << text;
  for (const char* text : {"11/06/1994 00:00:00 AM", "11/06/1994 13:00:00 PM",
                           "11/06/1994 04:49:37", "11/06/1994 04:49:37 pm"}) {
    EXPECT_FALSE(IsDateTime(text, forms)) << text;
  }
}

}  // namespace
}  // namespace horalux
