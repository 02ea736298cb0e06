// Locale patterns that cannot be read back as they stand, and what takes their place.
#include "runtime/datetime/strftime_forms.h"

#include <chrono>
#include <ostream>

#include <gtest/gtest.h>

namespace horalux {
namespace {

using namespace std::chrono;

struct PatternCase {
  const char* name;
  LcTimeFormats formats;
  const char* expected;  // 1994-11-06 16:49:37 in the resulting forms
  friend std::ostream& operator<<(std::ostream& out, const PatternCase& c) {
    return out << '"' << c.formats.date_format << "\" \"" << c.formats.time_format << '"';
  }
};

class LocalePattern : public testing::TestWithParam<PatternCase> {};

TEST_P(LocalePattern, FallsBackToTheNearestFormThatReadsBack) {
  const TextForms forms = TextFormsFromLcTime(GetParam().formats);
  const OleDate value = OleDate::FromLocalSeconds(local_days{1994y / 11 / 6} + 16h + 49min + 37s);
  const std::string text = FormatDateTime(value, forms);
  EXPECT_EQ(text, GetParam().expected);
  EXPECT_EQ(ParseDateTime(text, forms), value) << text;
  // And the other end of the day, where unpadded numbers are shortest.
  const OleDate early = OleDate::FromLocalSeconds(local_days{2001y / 2 / 3} + 1h + 2min + 3s);
  EXPECT_EQ(ParseDateTime(FormatDateTime(early, forms), forms), early)
      << FormatDateTime(early, forms);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, LocalePattern,
    testing::Values(
        PatternCase{"TwoDigitYearIsWidened",
                    {"%m/%d/%y", "%H:%M:%S", "", "AM", "PM"},
                    "11/06/1994 16:49:37"},
        PatternCase{
            "CompositesExpand", {"%D", "%r", "%I:%M:%S %p", "AM", "PM"}, "11/06/1994 04:49:37 PM"},
        PatternCase{"IsoComposites", {"%F", "%T", "", "", ""}, "1994-11-06 16:49:37"},
        PatternCase{
            "DefaultTwelveHourForR", {"%F", "%r", "", "AM", "PM"}, "1994-11-06 04:49:37 PM"},
        PatternCase{"WeekdayAndZoneAreLeftOut",
                    {"%a %d %b %Y", "%H:%M:%S %Z", "", "", ""},
                    "06 11 1994 16:49:37"},
        PatternCase{"LeadingWeekdayTakesItsSeparator",
                    {"%A, %d.%m.%Y", "%T", "", "", ""},
                    "06.11.1994 16:49:37"},
        PatternCase{"UnitWordBeforeAWeekdayStays",
                    {"%Y年%m月%d日 %A", "%H时%M分%S秒", "", "", ""},
                    "1994年11月06日 16时49分37秒"},
        PatternCase{
            "SecondsAddedAfterMinutes", {"%d.%m.%Y", "%H:%M", "", "", ""}, "06.11.1994 16:49:37"},
        PatternCase{"SecondsAddedBeforeTheDayPeriod",
                    {"%m/%d/%Y", "%I:%M %p", "", "AM", "PM"},
                    "11/06/1994 04:49:37 PM"},
        PatternCase{"UnitWordsWithoutSecondsFallBack",
                    {"%Y年%m月%d日", "%H时%M分", "", "", ""},
                    "1994年11月06日 16:49:37"},
        PatternCase{"TwelveHourWithoutDayPeriodNamesBecomes24Hour",
                    {"%d.%m.%Y", "%I:%M:%S %p", "", "", ""},
                    "06.11.1994 16:49:37"},
        PatternCase{"EqualDayPeriodNamesCannotBeTold",
                    {"%d.%m.%Y", "%p %I:%M:%S", "", "x", "x"},
                    "06.11.1994 16:49:37"},
        PatternCase{
            "DateWithoutYearFallsBack", {"%d.%m.", "%T", "", "", ""}, "1994-11-06 16:49:37"},
        PatternCase{"DateAndTimeTogetherFallBack", {"%c", "%c", "", "", ""}, "1994-11-06 16:49:37"},
        PatternCase{"CenturyAndTwoDigitYearAreTheYear",
                    {"%d.%m.%C%y", "%T", "", "", ""},
                    "06.11.1994 16:49:37"},
        PatternCase{"EraModifiersUseThePlainConversion",
                    {"%EY/%Om/%Od", "%OH:%OM:%OS", "", "", ""},
                    "1994/11/06 16:49:37"},
        PatternCase{
            "EraYearAloneFallsBack", {"%EC%Ey年%m月%d日", "%T", "", "", ""}, "1994-11-06 16:49:37"},
        PatternCase{
            "BlankPaddedIsUnpadded", {"%e.%-m.%Y", "%k:%M:%S", "", "", ""}, "6.11.1994 16:49:37"},
        PatternCase{"UnpaddedNumbersRunningIntoDigitsArePadded",
                    {"%e%-m%Y", "%-H%M%S", "", "", ""},
                    "06111994 164937"},
        PatternCase{"SelfReferenceEnds", {"%x", "%X", "", "", ""}, "1994-11-06 16:49:37"},
        PatternCase{"LonePercentAtTheEnd", {"%Y-%m-%d%", "%T%", "", "", ""}, "1994-11-06 16:49:37"},
        PatternCase{"LowercaseDayPeriodAndZone",
                    {"%d/%m/%y", "%l:%M:%S %P %Z", "", "am", "pm"},
                    "06/11/1994 4:49:37 pm"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(StrftimeTranslation, ExpandsCompositesIntoFields) {
  using Kind = FormField::Kind;
  const std::vector<FormField> expected = {{Kind::kHour12, 2, ""},   {Kind::kLiteral, 1, ":"},
                                           {Kind::kMinute, 2, ""},   {Kind::kLiteral, 1, ":"},
                                           {Kind::kSecond, 2, ""},   {Kind::kLiteral, 1, " "},
                                           {Kind::kDayPeriod, 1, ""}};
  EXPECT_EQ(TranslateStrftime("%r", {"", "", "%I:%M:%S %p", "AM", "PM"}), expected);
}

}  // namespace
}  // namespace horalux
