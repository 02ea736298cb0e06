// The web time: the "Date" header of a web server's response, shifted by eight hours to UTC+8,
// as time text.
#pragma once

#include <string>
#include <string_view>

#include "runtime/datetime/ole_date.h"
#include "runtime/datetime/text_forms.h"
#include "webtime/http_request.h"

namespace horalux {

// Sends one POST with an empty body to `url` (used as it stands) and returns the time of its
// response's "Date" header in UTC+8 as time text in `forms`. Whatever the status, a response with
// a Date serves. Raises the request's errors (see HttpRequest) and those of
// WebTimeFromDateHeader. The program leaves `options` at their defaults, but for the start-up's
// notice of sending (HttpRequestOptions::on_sending); tests set the rest.
std::string GetWebTime(std::string_view url, const TextForms& forms,
                       const HttpRequestOptions& options = {});

// A Date header's value as UTC+8 time text: characters 5 to 25 of it (" 06 Nov 1994 08:49:37"
// of "Sun, 06 Nov 1994 08:49:37 GMT") read as Universal Time, then shifted. Text that is not a
// date-time raises ErrorKind::kTypeMismatch; a result after 9999-12-31 raises
// ErrorKind::kOverflow.
std::string WebTimeFromDateHeader(std::string_view date_header, const TextForms& forms);

// Universal Time to UTC+8: exactly eight hours later, over the whole range of date-time values.
// Raises ErrorKind::kOverflow past 9999-12-31 23:59:59, ErrorKind::kFloatingPoint if the
// addition raises a floating-point exception.
OleDate ShiftToUtcPlus8(OleDate universal);

}  // namespace horalux
