// The forms of Windows locales: the text is what Windows itself writes for the short date and the
// long time, and the user's forms are those of the user's default locale.
#include "runtime/datetime/text_forms.h"

#include <windows.h>

#include <chrono>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/datetime/tests/test_locales.h"

namespace horalux {
namespace {

using namespace std::chrono;
using testing::TestLocale;

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::string ToUtf8(const wchar_t* wide) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), size, nullptr, nullptr);
  utf8.resize(static_cast<std::size_t>(size) - 1);
  return utf8;
}

// GetDateFormatEx's short date, a blank, and GetTimeFormatEx's long time.
std::string WindowsText(const wchar_t* locale, const SYSTEMTIME& moment) {
  wchar_t date[128] = {};
  wchar_t time[128] = {};
  EXPECT_GT(GetDateFormatEx(locale, DATE_SHORTDATE, &moment, nullptr, date, 128, nullptr), 0);
  EXPECT_GT(GetTimeFormatEx(locale, 0, &moment, nullptr, time, 128), 0);
  return ToUtf8(date) + " " + ToUtf8(time);
}

class WindowsLocale : public ::testing::TestWithParam<TestLocale> {};

TEST_P(WindowsLocale, TextIsWhatWindowsWritesForTheShortDateAndLongTime) {
  // Every test locale writes four-digit years and seconds, so nothing had to be replaced.
  const TextForms forms = GetParam().Forms();
  const std::wstring name = GetParam().name ? Widen(*GetParam().name) : std::wstring();
  const wchar_t* locale = GetParam().name ? name.c_str() : LOCALE_NAME_USER_DEFAULT;
  struct Moment {
    local_seconds local;
    SYSTEMTIME system;  // year, month, weekday (unused), day, hour, minute, second, ms
  };
  const Moment moments[] = {
      {local_days{1994y / 11 / 6} + 16h + 49min + 37s, {1994, 11, 0, 6, 16, 49, 37, 0}},
      {local_days{2001y / 2 / 3} + 1h + 2min + 3s, {2001, 2, 0, 3, 1, 2, 3, 0}},
      {local_days{1999y / 12 / 31} + 12h, {1999, 12, 0, 31, 12, 0, 0, 0}},
  };
  for (const Moment& m : moments) {
    EXPECT_EQ(FormatDateTime(OleDate::FromLocalSeconds(m.local), forms),
              WindowsText(locale, m.system));
  }
}

INSTANTIATE_TEST_SUITE_P(Locales, WindowsLocale, ::testing::ValuesIn(testing::TestLocales()),
                         [](const auto& info) { return info.param.label; });

std::string UserLocaleName() {
  wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
  EXPECT_GT(GetUserDefaultLocaleName(name, LOCALE_NAME_MAX_LENGTH), 1);
  return ToUtf8(name);
}

TEST(UserTextForms, AreThoseOfTheUsersDefaultLocale) {
  const std::string name = UserLocaleName();
  EXPECT_EQ(UserTextForms(), TextFormsForLocale(name)) << name;
}

BOOL CALLBACK CollectLocale(LPWSTR name, DWORD, LPARAM names) {
  reinterpret_cast<std::vector<std::string>*>(names)->push_back(ToUtf8(name));
  return TRUE;
}

TEST(TextFormsForLocale, EveryLocaleOfTheSystemRoundTrips) {
  std::vector<std::string> names;
  ASSERT_TRUE(EnumSystemLocalesEx(CollectLocale, LOCALE_WINDOWS, reinterpret_cast<LPARAM>(&names),
                                  nullptr));
  ASSERT_FALSE(names.empty());
  for (const std::string& name : names) {
    if (name.empty()) continue;  // the invariant locale has no name to ask for
    const TextForms forms = TextFormsForLocale(name);
    for (const local_seconds moment :
         {local_days{100y / 1 / 1} + 0s, local_days{1994y / 11 / 6} + 16h + 49min + 37s,
          local_days{2001y / 2 / 3} + 1h + 2min + 3s, local_days{9999y / 12 / 31} + 86399s}) {
      const OleDate value = OleDate::FromLocalSeconds(moment);
      const std::string text = FormatDateTime(value, forms);
      if (!IsDateTime(text, forms)) {
        ADD_FAILURE() << name << ": \"" << text << "\" does not read back";
        continue;
      }
      EXPECT_EQ(ParseDateTime(text, forms), value) << name << ": " << text;
    }
  }
}

}  // namespace
}  // namespace horalux
