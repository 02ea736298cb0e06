// Time text: the default text form of a date-time value, the user's short-date form, a blank,
// then the long-time form; and its way back. Also the test of whether a text is a date-time.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/datetime/ole_date.h"

namespace horalux {

// One piece of a date or time form.
struct FormField {
  enum class Kind {
    kLiteral,    // `literal`, written and matched as it stands
    kYear,       // always four digits
    kMonth,      // 1..12; `width` 2 pads with a zero
    kDay,        // 1..31; `width` 2 pads with a zero
    kHour24,     // 0..23
    kHour12,     // 1..12, with a kDayPeriod elsewhere in the form
    kMinute,     // 0..59
    kSecond,     // 0..59
    kDayPeriod,  // `TextForms::am` or `TextForms::pm`
  };
  Kind kind = Kind::kLiteral;
  int width = 1;
  std::string literal;

  friend bool operator==(const FormField&, const FormField&) = default;
};

// The user's short-date and long-time forms, already made safe for a round trip: a two-digit
// year is widened to four, and anything that cannot be read back is replaced by what can.
struct TextForms {
  std::vector<FormField> short_date;
  std::vector<FormField> long_time;
  std::string am;
  std::string pm;

  friend bool operator==(const TextForms&, const TextForms&) = default;
};

// The forms of the user's regional settings: LC_TIME on Linux, the user locale on Windows.
// Implemented once per platform.
TextForms UserTextForms();

// The forms of a named locale ("de_DE.UTF-8" on Linux, "de-DE" on Windows). An unknown name
// raises ErrorKind::kSystem.
TextForms TextFormsForLocale(std::string_view locale_name);

// Time text of a value, its time of day rounded to the nearest second.
std::string FormatDateTime(OleDate value, const TextForms& forms);

// Accepts the HTTP-style text (" 06 Nov 1994 08:49:37": blanks, a 1- or 2-digit day, an English
// month abbreviation in any case, a 4-digit year, a 24-hour time, blanks) and every text that
// FormatDateTime produces with `forms`. Anything else, and any moment that does not exist or lies
// outside the valid range, raises ErrorKind::kTypeMismatch naming the text.
OleDate ParseDateTime(std::string_view text, const TextForms& forms);

// True exactly when ParseDateTime would accept the text.
bool IsDateTime(std::string_view text, const TextForms& forms) noexcept;

}  // namespace horalux
