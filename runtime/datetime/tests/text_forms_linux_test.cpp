// The forms of Linux locales, and where the user's come from: the environment, as the C library
// reads it.
#include "runtime/datetime/text_forms.h"

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/datetime/strftime_forms.h"
#include "testing/scoped_environment.h"

namespace horalux {
namespace {

using namespace std::chrono;

TEST(TextFormsForLocale, FollowTheLocalesShortDateAndLongTime) {
  const OleDate value = OleDate::FromLocalSeconds(local_days{1994y / 11 / 6} + 16h + 49min + 37s);
  EXPECT_EQ(FormatDateTime(value, TextFormsForLocale("en_US.UTF-8")), "11/06/1994 04:49:37 PM");
  EXPECT_EQ(FormatDateTime(value, TextFormsForLocale("zh_CN.UTF-8")),
            "1994年11月06日 16时49分37秒");
  EXPECT_EQ(FormatDateTime(value, TextFormsForLocale("ja_JP.UTF-8")),
            "1994年11月06日 16時49分37秒");
  EXPECT_EQ(FormatDateTime(value, TextFormsForLocale("de_DE.UTF-8")), "06.11.1994 16:49:37");
  // Two-digit years are widened so that no century has to be guessed on the way back.
  EXPECT_EQ(FormatDateTime(value, TextFormsForLocale("en_GB.UTF-8")), "06/11/1994 16:49:37");
  EXPECT_EQ(FormatDateTime(OleDate::FromLocalSeconds(local_days{100y / 1 / 1}),
                           TextFormsForLocale("C.UTF-8")),
            "01/01/0100 00:00:00");
}

struct UserSettings {
  std::optional<std::string> lc_all, lc_time, lang;
  const char* expected_locale;
};

TEST(UserTextForms, FollowTheSettingThatGovernsTimes) {
  const std::vector<UserSettings> cases = {
      {std::nullopt, std::nullopt, "de_DE.UTF-8", "de_DE.UTF-8"},
      {std::nullopt, "zh_CN.UTF-8", "de_DE.UTF-8", "zh_CN.UTF-8"},
      {"en_US.UTF-8", "zh_CN.UTF-8", "de_DE.UTF-8", "en_US.UTF-8"},
      {std::nullopt, std::nullopt, std::nullopt, "C"},
      // Settings naming a locale this machine lacks work as the C library does: in "C".
      {std::nullopt, std::nullopt, "xx_NOPE.UTF-8", "C"},
  };
  for (const UserSettings& c : cases) {
    const testing::ScopedEnvironment lc_all("LC_ALL", c.lc_all);
    const testing::ScopedEnvironment lc_time("LC_TIME", c.lc_time);
    const testing::ScopedEnvironment lang("LANG", c.lang);
    EXPECT_EQ(UserTextForms(), TextFormsForLocale(c.expected_locale)) << c.expected_locale;
  }
}

TEST(TextFormsForLocale, CLocaleHasThePlainPosixForms) {
  EXPECT_EQ(TextFormsForLocale("C.UTF-8"),
            TextFormsFromLcTime({"%m/%d/%y", "%H:%M:%S", "%I:%M:%S %p", "AM", "PM"}));
}

}  // namespace
}  // namespace horalux
