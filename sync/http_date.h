// The Date header read as the windowless modes need it: the whole second it names, in UTC, or
// nothing for a value that is not a date in HTTP's form.
#pragma once

#include <chrono>
#include <optional>
#include <string_view>

namespace horalux {

// "Sun, 06 Nov 1994 08:49:37 GMT" (HTTP's preferred form; a one-digit day is taken as well, as
// some servers send it). The weekday must be right; anything else gives nothing.
std::optional<std::chrono::sys_seconds> ParseHttpDate(std::string_view value);

}  // namespace horalux
