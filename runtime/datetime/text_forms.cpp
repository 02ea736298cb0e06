#include "runtime/datetime/text_forms.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <optional>

#include "runtime/base/error.h"
#include "runtime/base/text.h"

namespace horalux {
namespace {

using Kind = FormField::Kind;
using namespace std::chrono;

constexpr int kFirstYear = 100;
constexpr int kLastYear = 9999;

struct Civil {
  int year = -1;
  int month = -1;
  int day = -1;
  int hour = -1;  // 0..23, or 1..12 when `period` is set
  int minute = -1;
  int second = -1;
  int period = -1;  // 0 am, 1 pm, -1 none
};

// The moment the parts name, if it exists and lies in the valid range.
std::optional<OleDate> ToDate(const Civil& c) {
  if (c.year < kFirstYear || c.year > kLastYear || c.month < 1 || c.month > 12 || c.day < 1 ||
      c.day > 31 || c.minute < 0 || c.minute > 59 || c.second < 0 || c.second > 59) {
    return std::nullopt;
  }
  int hour = c.hour;
  if (c.period >= 0) {
    if (hour < 1 || hour > 12) return std::nullopt;
    hour = hour % 12 + (c.period == 1 ? 12 : 0);
  }
  if (hour < 0 || hour > 23) return std::nullopt;
  const year_month_day date{year{c.year}, month{static_cast<unsigned>(c.month)},
                            day{static_cast<unsigned>(c.day)}};
  if (!date.ok()) return std::nullopt;
  return OleDate::FromLocalSeconds(local_days{date} + hours{hour} + minutes{c.minute} +
                                   seconds{c.second});
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// " 06 Nov 1994 08:49:37 ": the form of an HTTP Date header with the weekday cut off.
std::optional<OleDate> ParseHttpForm(std::string_view text) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
  std::size_t at = 0;
  const auto skip_blanks = [&] {
    const std::size_t start = at;
    while (at < text.size() && IsBlank(text[at])) ++at;
    return at > start;
  };
  Civil c;
  skip_blanks();
  const std::size_t day_digits = at + 1 < text.size() && IsAsciiDigit(text[at + 1]) ? 2 : 1;
  const auto day = ParseDigits(text, at, day_digits);
  if (!day) return std::nullopt;
  c.day = *day;
  at += day_digits;
  if (!skip_blanks() || text.size() - at < 3) return std::nullopt;
  std::array<char, 3> name{};
  for (std::size_t i = 0; i < 3; ++i) name[i] = AsciiLower(text[at + i]);
  for (std::size_t m = 0; m < kMonths.size(); ++m) {
    if (std::string_view(name.data(), 3) == kMonths[m]) c.month = static_cast<int>(m) + 1;
  }
  if (c.month < 0) return std::nullopt;
  at += 3;
  if (!skip_blanks()) return std::nullopt;
  const auto year = ParseDigits(text, at, 4);
  if (!year) return std::nullopt;
  c.year = *year;
  at += 4;
  if (!skip_blanks()) return std::nullopt;
  int* const parts[] = {&c.hour, &c.minute, &c.second};
  for (std::size_t i = 0; i < 3; ++i) {
    if (i > 0) {
      if (at >= text.size() || text[at] != ':') return std::nullopt;
      ++at;
    }
    const auto part = ParseDigits(text, at, 2);
    if (!part) return std::nullopt;
    *parts[i] = *part;
    at += 2;
  }
  skip_blanks();
  if (at != text.size()) return std::nullopt;
  return ToDate(c);
}

int* Slot(Civil& c, Kind kind) {
  switch (kind) {
    case Kind::kYear:
      return &c.year;
    case Kind::kMonth:
      return &c.month;
    case Kind::kDay:
      return &c.day;
    case Kind::kHour24:
    case Kind::kHour12:
      return &c.hour;
    case Kind::kMinute:
      return &c.minute;
    case Kind::kSecond:
      return &c.second;
    case Kind::kDayPeriod:
      return &c.period;
    case Kind::kLiteral:
      break;
  }
  return nullptr;
}

// The fields of the date form, a blank, then those of the time form, as one sequence.
class JoinedForms {
 public:
  explicit JoinedForms(const TextForms& forms) : forms_(forms) {}
  std::size_t size() const { return forms_.short_date.size() + 1 + forms_.long_time.size(); }
  const FormField& operator[](std::size_t index) const {
    static const FormField kBlank{Kind::kLiteral, 1, " "};
    const std::size_t dates = forms_.short_date.size();
    if (index < dates) return forms_.short_date[index];
    if (index == dates) return kBlank;
    return forms_.long_time[index - dates - 1];
  }

 private:
  const TextForms& forms_;
};

// The text from `at` against the fields from `index`; backtracks over the width of unpadded
// numbers. The forms are short, so the search is small whatever the text.
std::optional<OleDate> MatchFrom(const JoinedForms& fields, std::size_t index,
                                 std::string_view text, std::size_t at, Civil c,
                                 const TextForms& forms) {
  if (index == fields.size()) {
    return at == text.size() ? ToDate(c) : std::nullopt;
  }
  const FormField& field = fields[index];
  const std::string_view rest = text.substr(at);
  switch (field.kind) {
    case Kind::kLiteral:
      if (rest.substr(0, field.literal.size()) != field.literal) return std::nullopt;
      return MatchFrom(fields, index + 1, text, at + field.literal.size(), c, forms);
    case Kind::kDayPeriod:
      for (int period = 0; period < 2; ++period) {
        const std::string& name = period == 0 ? forms.am : forms.pm;
        if (name.empty() || rest.substr(0, name.size()) != name) continue;
        Civil next = c;
        next.period = period;
        if (auto date = MatchFrom(fields, index + 1, text, at + name.size(), next, forms)) {
          return date;
        }
      }
      return std::nullopt;
    default: {
      int* const slot = Slot(c, field.kind);
      if (*slot >= 0) return std::nullopt;  // a form naming a part twice is not read at all
      if (field.kind == Kind::kYear || field.width >= 2) {
        const std::size_t count = field.kind == Kind::kYear ? 4 : 2;
        const auto value = ParseDigits(text, at, count);
        if (!value) return std::nullopt;
        *slot = *value;
        return MatchFrom(fields, index + 1, text, at + count, c, forms);
      }
      // Unpadded: one digit, or two without a leading zero, as FormatDateTime writes them.
      for (std::size_t count = 1; count <= 2; ++count) {
        const auto value = ParseDigits(text, at, count);
        if (!value || (count == 2 && text[at] == '0')) break;
        Civil next = c;
        *Slot(next, field.kind) = *value;
        if (auto date = MatchFrom(fields, index + 1, text, at + count, next, forms)) return date;
      }
      return std::nullopt;
    }
  }
}

std::optional<OleDate> ParseForms(std::string_view text, const TextForms& forms) {
  const JoinedForms fields(forms);
  Civil none;
  // Without a field for the seconds the form has none to read, and 0 is what it means.
  bool has_second = false;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    has_second = has_second || fields[i].kind == Kind::kSecond;
  }
  if (!has_second) none.second = 0;
  return MatchFrom(fields, 0, text, 0, none, forms);
}

std::optional<OleDate> TryParse(std::string_view text, const TextForms& forms) {
  if (auto date = ParseHttpForm(text)) return date;
  return ParseForms(text, forms);
}

void AppendForm(std::string& out, const std::vector<FormField>& form, const year_month_day& date,
                const hh_mm_ss<seconds>& time, const TextForms& forms) {
  const auto hour = static_cast<unsigned>(time.hours().count());
  // Every number of a date-time is non-negative: the years run from 100 to 9999.
  const auto number = [&](unsigned value, int width) {
    AppendZeroPadded(out, value, static_cast<std::size_t>(width));
  };
  for (const FormField& field : form) {
    switch (field.kind) {
      case Kind::kLiteral:
        out += field.literal;
        break;
      case Kind::kYear:
        number(static_cast<unsigned>(static_cast<int>(date.year())), 4);
        break;
      case Kind::kMonth:
        number(static_cast<unsigned>(date.month()), field.width);
        break;
      case Kind::kDay:
        number(static_cast<unsigned>(date.day()), field.width);
        break;
      case Kind::kHour24:
        number(hour, field.width);
        break;
      case Kind::kHour12:
        number(hour % 12 == 0 ? 12 : hour % 12, field.width);
        break;
      case Kind::kMinute:
        number(static_cast<unsigned>(time.minutes().count()), field.width);
        break;
      case Kind::kSecond:
        number(static_cast<unsigned>(time.seconds().count()), field.width);
        break;
      case Kind::kDayPeriod:
        out += hour < 12 ? forms.am : forms.pm;
        break;
    }
  }
}

}  // namespace

std::string FormatDateTime(OleDate value, const TextForms& forms) {
  const local_seconds moment = value.ToLocalSeconds();
  const local_days day = floor<days>(moment);
  const year_month_day date{day};
  const hh_mm_ss<seconds> time{moment - day};
  std::string text;
  AppendForm(text, forms.short_date, date, time, forms);
  text += ' ';
  AppendForm(text, forms.long_time, date, time, forms);
  return text;
}

OleDate ParseDateTime(std::string_view text, const TextForms& forms) {
  if (auto date = TryParse(text, forms)) return *date;
  throw Error(ErrorKind::kTypeMismatch, Quoted(ExcerptForMessage(text)) + " 不是有效的日期时间");
}

bool IsDateTime(std::string_view text, const TextForms& forms) noexcept {
  try {
    return TryParse(text, forms).has_value();
  } catch (...) {
    return false;
  }
}

}  // namespace horalux
