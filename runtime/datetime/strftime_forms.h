// Date and time forms from strftime patterns, as a C library's LC_TIME category gives them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "runtime/datetime/text_forms.h"

namespace horalux {

// What a locale's LC_TIME says about dates and times, in UTF-8.
struct LcTimeFormats {
  std::string date_format;       // D_FMT, e.g. "%m/%d/%y"
  std::string time_format;       // T_FMT, e.g. "%r"
  std::string time_format_ampm;  // T_FMT_AMPM, what %r stands for; may be empty
  std::string am;                // AM_STR
  std::string pm;                // PM_STR
};

// The fields of one pattern. Composite conversions (%D %F %T %R %r %x %X) are expanded; a
// two-digit year (%y) becomes the four-digit year; month names become month numbers; what
// cannot be read back (%Z, %a, %j, %U, %C, ...) is left out with its separator.
std::vector<FormField> TranslateStrftime(std::string_view pattern, const LcTimeFormats& formats);

// The locale's short-date and long-time forms, made safe for a round trip.
TextForms TextFormsFromLcTime(const LcTimeFormats& formats);

}  // namespace horalux
