#include "runtime/datetime/form_builder.h"

#include <algorithm>
#include <utility>

#include "runtime/base/text.h"

namespace horalux {
namespace {

using Kind = FormField::Kind;

FormField Literal(std::string text) { return {Kind::kLiteral, 1, std::move(text)}; }
FormField Field(Kind kind, int width) { return {kind, width, {}}; }

bool IsNumeric(Kind kind) { return kind != Kind::kLiteral && kind != Kind::kDayPeriod; }

bool IsDatePart(Kind kind) {
  return kind == Kind::kYear || kind == Kind::kMonth || kind == Kind::kDay;
}

bool IsTimePart(Kind kind) { return IsNumeric(kind) && !IsDatePart(kind); }

// Blanks and ASCII punctuation: what joins the pieces of a form, as opposed to unit words.
bool IsSeparatorChar(char c) {
  const bool alphanumeric = IsAsciiDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  return IsBlank(c) || (c > ' ' && c < 0x7F && !alphanumeric);
}

std::size_t Count(const std::vector<FormField>& fields, Kind kind) {
  return static_cast<std::size_t>(std::count_if(
      fields.begin(), fields.end(), [&](const FormField& f) { return f.kind == kind; }));
}

// Adjacent literals joined, empty ones gone, blanks at either end of the form trimmed.
std::vector<FormField> Tidy(std::vector<FormField> fields) {
  std::vector<FormField> tidy;
  for (FormField& field : fields) {
    if (field.kind == Kind::kLiteral) {
      if (field.literal.empty()) continue;
      if (!tidy.empty() && tidy.back().kind == Kind::kLiteral) {
        tidy.back().literal += field.literal;
        continue;
      }
    }
    tidy.push_back(std::move(field));
  }
  if (!tidy.empty() && tidy.front().kind == Kind::kLiteral) {
    std::string& text = tidy.front().literal;
    text.erase(0, std::min(text.size(), text.find_first_not_of(" \t")));
    if (text.empty()) tidy.erase(tidy.begin());
  }
  if (!tidy.empty() && tidy.back().kind == Kind::kLiteral) {
    std::string& text = tidy.back().literal;
    const auto last = text.find_last_not_of(" \t");
    text.erase(last == std::string::npos ? 0 : last + 1);
    if (text.empty()) tidy.pop_back();
  }
  return tidy;
}

std::vector<FormField> IsoDate() {
  return {Field(Kind::kYear, 4), Literal("-"), Field(Kind::kMonth, 2), Literal("-"),
          Field(Kind::kDay, 2)};
}

std::vector<FormField> TwentyFourHourTime() {
  return {Field(Kind::kHour24, 2), Literal(":"), Field(Kind::kMinute, 2), Literal(":"),
          Field(Kind::kSecond, 2)};
}

std::vector<FormField> RepairDate(std::vector<FormField> date) {
  date = Tidy(std::move(date));
  const bool complete = Count(date, Kind::kYear) == 1 && Count(date, Kind::kMonth) == 1 &&
                        Count(date, Kind::kDay) == 1 &&
                        std::none_of(date.begin(), date.end(), [](const FormField& f) {
                          return IsTimePart(f.kind) || f.kind == Kind::kDayPeriod;
                        });
  return complete ? date : IsoDate();
}

bool DayPeriodsUsable(const std::string& am, const std::string& pm) {
  // Either name a prefix of the other would make the reading depend on what follows.
  return !am.empty() && !pm.empty() && am.rfind(pm, 0) != 0 && pm.rfind(am, 0) != 0;
}

std::vector<FormField> RepairTime(std::vector<FormField> time, bool periods_usable) {
  time = Tidy(std::move(time));
  const std::size_t hours = Count(time, Kind::kHour24) + Count(time, Kind::kHour12);
  if (hours != 1 || Count(time, Kind::kMinute) != 1 || Count(time, Kind::kSecond) > 1 ||
      Count(time, Kind::kDayPeriod) > 1 ||
      std::any_of(time.begin(), time.end(),
                  [](const FormField& f) { return IsDatePart(f.kind); })) {
    return TwentyFourHourTime();
  }

  const bool twelve_hour =
      Count(time, Kind::kHour12) == 1 && Count(time, Kind::kDayPeriod) == 1 && periods_usable;
  if (!twelve_hour) {
    for (FormField& field : time) {
      if (field.kind == Kind::kHour12) field.kind = Kind::kHour24;
    }
    std::erase_if(time, [](const FormField& f) { return f.kind == Kind::kDayPeriod; });
    time = Tidy(std::move(time));
  }

  if (Count(time, Kind::kSecond) == 0) {
    // "H:mm" becomes "H:mm:ss", reusing the separator between hour and minute; forms that name
    // their units ("H时mm分") cannot be extended that way and fall back.
    const auto minute = std::find_if(time.begin(), time.end(),
                                     [](const FormField& f) { return f.kind == Kind::kMinute; });
    const auto at = static_cast<std::size_t>(minute - time.begin());
    const bool separated =
        at >= 2 && time[at - 1].kind == Kind::kLiteral &&
        (time[at - 2].kind == Kind::kHour24 || time[at - 2].kind == Kind::kHour12);
    const bool ends_there = at + 1 == time.size() || (time[at + 1].kind == Kind::kLiteral &&
                                                      IsBlank(time[at + 1].literal[0]));
    if (!separated || !ends_there) return TwentyFourHourTime();
    const FormField separator = time[at - 1];
    time.insert(time.begin() + static_cast<std::ptrdiff_t>(at) + 1,
                {separator, Field(Kind::kSecond, 2)});
  }
  return time;
}

bool StartsWithDigit(const FormField& field, const std::string& am, const std::string& pm) {
  switch (field.kind) {
    case Kind::kLiteral:
      return IsAsciiDigit(field.literal[0]);
    case Kind::kDayPeriod:
      return IsAsciiDigit(am[0]) || IsAsciiDigit(pm[0]);
    default:
      return true;
  }
}

// An unpadded number followed by a digit could be read two ways ("1112" for 1/11 or 11/12).
void PadWhereAmbiguous(std::vector<FormField>& fields, const std::string& am,
                       const std::string& pm) {
  for (std::size_t i = 0; i + 1 < fields.size(); ++i) {
    if (IsNumeric(fields[i].kind) && fields[i].width < 2 &&
        StartsWithDigit(fields[i + 1], am, pm)) {
      fields[i].width = 2;
    }
  }
}

}  // namespace

void FormBuilder::AddLiteral(std::string_view text) {
  if (skipping_separator_) {
    const auto kept = std::find_if_not(text.begin(), text.end(), IsSeparatorChar);
    text.remove_prefix(static_cast<std::size_t>(kept - text.begin()));
    if (text.empty()) return;
    skipping_separator_ = false;
  }
  if (text.empty()) return;
  if (!fields_.empty() && fields_.back().kind == Kind::kLiteral) {
    fields_.back().literal += text;
  } else {
    fields_.push_back(Literal(std::string(text)));
  }
}

void FormBuilder::AddField(Kind kind, int width) {
  skipping_separator_ = false;
  fields_.push_back(Field(kind, width));
}

void FormBuilder::AddUnreadable() {
  const bool has_field = std::any_of(fields_.begin(), fields_.end(),
                                     [](const FormField& f) { return f.kind != Kind::kLiteral; });
  if (has_field) {
    // The separator before it goes ("%S %Z"), but not a unit word ("%d日 %A" keeps 日).
    if (fields_.back().kind == Kind::kLiteral) {
      std::string& text = fields_.back().literal;
      const auto kept = std::find_if_not(text.rbegin(), text.rend(), IsSeparatorChar);
      text.erase(static_cast<std::size_t>(text.rend() - kept));
      if (text.empty()) fields_.pop_back();
    }
  } else {
    // At the start there is nothing before it to join; the separator after it goes instead.
    skipping_separator_ = true;
  }
}

TextForms MakeRoundTrippable(std::vector<FormField> short_date, std::vector<FormField> long_time,
                             std::string am, std::string pm) {
  TextForms forms;
  const bool periods_usable = DayPeriodsUsable(am, pm);
  forms.short_date = RepairDate(std::move(short_date));
  forms.long_time = RepairTime(std::move(long_time), periods_usable);
  forms.am = periods_usable ? std::move(am) : std::string();
  forms.pm = periods_usable ? std::move(pm) : std::string();
  PadWhereAmbiguous(forms.short_date, forms.am, forms.pm);
  PadWhereAmbiguous(forms.long_time, forms.am, forms.pm);
  return forms;
}

TextForms IsoTextForms() { return TextForms{IsoDate(), TwentyFourHourTime(), "AM", "PM"}; }

}  // namespace horalux
