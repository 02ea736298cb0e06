#include "webtime/web_time.h"

#include <chrono>

#include "runtime/float_check.h"
#include "runtime/text.h"

namespace horalux {

std::string GetWebTime(std::string_view url, const TextForms& forms,
                       const HttpRequestOptions& options) {
  HttpRequest request(options);
  request.Open("POST", url, false);
  request.Send();
  return WebTimeFromDateHeader(request.GetResponseHeader("Date"), forms);
}

std::string WebTimeFromDateHeader(std::string_view date_header, const TextForms& forms) {
  // Keeps the blank before the day and drops the weekday and the zone name.
  const std::string universal_text = MidChars(date_header, 5, 21);
  return FormatDateTime(ShiftToUtcPlus8(ParseDateTime(universal_text, forms)), forms);
}

OleDate ShiftToUtcPlus8(OleDate universal) {
  if (universal.days() >= 0.0) {
    // From 1899-12-30 on, the value grows with time, so adding a third of a day is the shift.
    // One third is not exact in a double, but the sum is within a millisecond of the moment and
    // the time text rounds to the second.
    return OleDate::FromDays(CheckedAdd(universal.days(), 1.0 / 3.0));
  }
  // Before 1899-12-30 the whole part counts days back while the fraction still counts the time
  // of day forward, so adding to the double would move the time backwards
  // (1899-12-29 06:00 + 1/3 would read 1899-12-30 22:00). Shift the civil moment instead.
  return OleDate::FromLocalSeconds(universal.ToLocalSeconds() + std::chrono::hours(8));
}

}  // namespace horalux
