// Windows only: the URLs the WinHTTP transfer takes, checked and taken apart as WinHTTP wants
// them: the URL given to Open, and each redirect's target.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <optional>
#include <string>
#include <string_view>

namespace horalux {

// An http or https URL taken apart for WinHTTP.
struct WebUrl {
  std::string text;  // as given, fragment included
  bool secure = false;
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring path;  // with the query, without the fragment
  std::string host_text;
};

// The scheme before the first ':', as RFC 3986 writes it, or nothing.
std::optional<std::string_view> SchemeOf(std::string_view url);

// Whether `scheme` is http or https, in any case.
bool IsWebScheme(std::string_view scheme);

// Refuses every URL but a well-formed absolute http or https one, as the libcurl transfer does:
// no blanks or control characters anywhere, a scheme of its own, a host. Raises
// ErrorKind::kInvalidUrl naming the URL.
WebUrl CheckedUrl(std::string_view url_text);

}  // namespace horalux
