// /etc/default/horalux, which the scheduled correction's service reads: the sites in one
// variable, HORALUX_URLS="URL ...", and options for every run in HORALUX_OPTIONS. `--schedule`
// rewrites those lines and keeps the rest of the file as the administrator left it. Portable
// text in and out.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace horalux {

inline constexpr std::string_view kDefaultsFile = "/etc/default/horalux";

// The file with HORALUX_URLS set to `urls` and, where `proxy` is given, HORALUX_OPTIONS to
// "--proxy PROXY": the first line that sets each, or the commented-out example of it, becomes the
// new line; later lines that set it go (the last would win); without either it is added at the
// end. Every other line stays as it was. Raises ErrorKind::kInvalidUrl for a URL or proxy that the
// file cannot carry as one word (white space, control characters, quotes, backslashes).
std::string WithSchedule(std::string_view file, const std::vector<std::string>& urls,
                         std::string_view proxy);

// The sites the file names, in order; none when HORALUX_URLS is not set.
std::vector<std::string> ScheduledUrls(std::string_view file);

}  // namespace horalux
