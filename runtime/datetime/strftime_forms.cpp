#include "runtime/datetime/strftime_forms.h"

#include "runtime/datetime/form_builder.h"

namespace horalux {
namespace {

using Kind = FormField::Kind;

// POSIX's meaning of %r where the locale gives none.
constexpr std::string_view kDefaultTwelveHourTime = "%I:%M:%S %p";

// Composites may refer to each other (%x to D_FMT, which may hold %D); a locale whose formats
// refer to themselves must not send the translation round in circles.
constexpr int kMaxNesting = 4;

void Translate(std::string_view pattern, const LcTimeFormats& formats, int depth,
               FormBuilder& builder) {
  if (depth > kMaxNesting) {
    builder.AddUnreadable();
    return;
  }
  const auto expand = [&](std::string_view composite) {
    Translate(composite, formats, depth + 1, builder);
  };
  std::size_t at = 0;
  while (at < pattern.size()) {
    const std::size_t percent = pattern.find('%', at);
    if (percent != at) {
      builder.AddLiteral(pattern.substr(at, percent - at));
      if (percent == std::string_view::npos) break;
      at = percent;
    }
    ++at;  // past '%'
    // glibc flags and a field width: "-" and "_" ask for no zero padding, "0" for it.
    int padding = 0;  // 0 as the conversion says, 1 unpadded, 2 zero-padded
    while (at < pattern.size() &&
           std::string_view("-_0^#").find(pattern[at]) != std::string_view::npos) {
      if (pattern[at] == '-' || pattern[at] == '_') padding = 1;
      if (pattern[at] == '0') padding = 2;
      ++at;
    }
    while (at < pattern.size() && pattern[at] >= '0' && pattern[at] <= '9') ++at;
    // E (era) and O (alternative digits) modifiers: the plain conversion is the nearest
    // readable one, except for the era's own name and year.
    bool era = false;
    if (at < pattern.size() && (pattern[at] == 'E' || pattern[at] == 'O')) {
      era = pattern[at] == 'E';
      ++at;
    }
    if (at >= pattern.size()) {
      builder.AddUnreadable();
      break;
    }
    const char conversion = pattern[at++];
    const auto width = [&](int natural) { return padding == 0 ? natural : padding; };
    switch (conversion) {
      case 'Y':
        builder.AddField(Kind::kYear, 4);
        break;
      case 'y':
        // The era's year (%Ey) counts from the era's start; no four-digit year replaces it.
        if (era) {
          builder.AddUnreadable();
        } else {
          builder.AddField(Kind::kYear, 4);
        }
        break;
      case 'm':
        builder.AddField(Kind::kMonth, width(2));
        break;
      case 'b':
      case 'B':
      case 'h':
        builder.AddField(Kind::kMonth, 2);
        break;
      case 'd':
        builder.AddField(Kind::kDay, width(2));
        break;
      case 'e':
        builder.AddField(Kind::kDay, width(1));
        break;
      case 'H':
        builder.AddField(Kind::kHour24, width(2));
        break;
      case 'k':
        builder.AddField(Kind::kHour24, width(1));
        break;
      case 'I':
        builder.AddField(Kind::kHour12, width(2));
        break;
      case 'l':
        builder.AddField(Kind::kHour12, width(1));
        break;
      case 'M':
        builder.AddField(Kind::kMinute, width(2));
        break;
      case 'S':
        builder.AddField(Kind::kSecond, width(2));
        break;
      case 'p':
      case 'P':
        builder.AddField(Kind::kDayPeriod, 1);
        break;
      case 'D':
        expand("%m/%d/%y");
        break;
      case 'F':
        expand("%Y-%m-%d");
        break;
      case 'T':
        expand("%H:%M:%S");
        break;
      case 'R':
        expand("%H:%M");
        break;
      case 'r':
        expand(formats.time_format_ampm.empty() ? kDefaultTwelveHourTime
                                                : std::string_view(formats.time_format_ampm));
        break;
      case 'x':
        expand(formats.date_format);
        break;
      case 'X':
        expand(formats.time_format);
        break;
      case 'n':
      case 't':
        builder.AddLiteral(" ");
        break;
      case '%':
        builder.AddLiteral("%");
        break;
      case 'C':
        // "%C%y" is the full year, which %y alone now writes.
        if (pattern.substr(at, 2) != "%y") builder.AddUnreadable();
        break;
      default:
        // Zone, weekday, day of the year, week numbers, century, era name, seconds since
        // the epoch, date and time together (%c), and anything unknown.
        builder.AddUnreadable();
        break;
    }
  }
}

}  // namespace

std::vector<FormField> TranslateStrftime(std::string_view pattern, const LcTimeFormats& formats) {
  FormBuilder builder;
  Translate(pattern, formats, 0, builder);
  return std::move(builder).Take();
}

TextForms TextFormsFromLcTime(const LcTimeFormats& formats) {
  return MakeRoundTrippable(TranslateStrftime(formats.date_format, formats),
                            TranslateStrftime(formats.time_format, formats), formats.am,
                            formats.pm);
}

}  // namespace horalux
