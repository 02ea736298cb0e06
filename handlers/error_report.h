// How an error is put before the user, for both front ends: the heading of its report, which says
// in the user's words what did not happen, over the error's own detail; and the one wording of a
// fault of the program's own (an exception that is not a horalux::Error).
#pragma once

#include <exception>
#include <string_view>

#include "runtime/base/error.h"

namespace horalux {

// What the user reads first in the report of `error`: "无法读取网站的时间" for a Date header that
// is missing or no date, "无法连接网站" for a failed request, and so on. The detail below it is
// the error's detail().
std::string_view ErrorReportTitle(const Error& error) noexcept;

// What the user can do after a fault of the program's own.
enum class AfterInternalError {
  kTryAgain,  // in a handler: the window goes on
  kRestart,   // at start: the program ends
};

// A fault of the program's own (`error` is not a horalux::Error), as an error to report.
Error InternalError(const std::exception& error, AfterInternalError after);

}  // namespace horalux
