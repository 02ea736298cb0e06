// Pattern formatting of a date-time value: "yyyy-mm-dd" and "hh:mm:ss" and their relatives.
#pragma once

#include <string>
#include <string_view>

#include "runtime/datetime/ole_date.h"

namespace horalux {

// yyyy: four-digit year; m/mm: month (minutes when it follows an hour); d/dd: day;
// h/hh: 24-hour hour; n/nn: minute; s/ss: second. Other characters stand as they are.
// The time of day is rounded to the nearest second first.
std::string FormatPattern(OleDate value, std::string_view pattern);

}  // namespace horalux
