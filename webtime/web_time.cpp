#include "webtime/web_time.h"

#include <chrono>

#include "runtime/base/error.h"
#include "runtime/base/text.h"
#include "runtime/datetime/float_check.h"

namespace horalux {

std::string GetWebTime(std::string_view url, const TextForms& forms,
                       const HttpRequestOptions& options) {
  HttpRequest request(options);
  request.Open("POST", url, false);
  request.Send();
  return WebTimeFromDateHeader(request.GetResponseHeader("Date"), forms);
}

namespace {

// The Universal Time of a Date header. A header that cannot be read is the server's doing, not
// the user's: the message says which header it was and that another site is the way out.
OleDate ParseUniversalTime(std::string_view date_header, const TextForms& forms) {
  // Keeps the blank before the day and drops the weekday and the zone name.
  const std::string universal_text = MidChars(date_header, 5, 21);
  try {
    return ParseDateTime(universal_text, forms);
  } catch (const Error& error) {
    if (error.kind() != ErrorKind::kTypeMismatch) throw;
    if (date_header.empty()) {
      throw Error(ErrorKind::kTypeMismatch,
                  "网站的应答中没有 Date 头，无法从中得知时间。请换一个网站再试。");
    }
    throw Error(
        ErrorKind::kTypeMismatch,
        error.detail() + "。网站应答头 Date 的值 " + Quoted(ExcerptForMessage(date_header)) +
            " 不是标准的 HTTP 日期格式（如 Sun, 06 Nov 1994 08:49:37 GMT）。请换一个网站再试。");
  }
}

}  // namespace

std::string WebTimeFromDateHeader(std::string_view date_header, const TextForms& forms) {
  return FormatDateTime(ShiftToUtcPlus8(ParseUniversalTime(date_header, forms)), forms);
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
