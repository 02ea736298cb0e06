// How the request component follows redirects, whatever does the transfer: how many, which
// responses, the method after each, and where a Location leads (RFC 3986 reference resolution).
#pragma once

#include <string>
#include <string_view>

#include "webtime/response_headers.h"

namespace horalux {

inline constexpr int kMaxRedirects = 10;

// Whether a response with `status` and a Location is followed: any 3xx, as libcurl does.
constexpr bool IsRedirectStatus(int status) { return status >= 300 && status < 400; }

// libcurl's rules, which the WinHTTP transfer follows too: a 301, 302 or 303 turns a POST into a
// GET; anything else keeps its method (a HEAD stays a HEAD).
HttpMethod MethodAfterRedirect(HttpMethod method, int status);

// The absolute URL that `location` names when read against `base`, an absolute URL (RFC 3986,
// section 5.2), without fragment. A `location` with a scheme of its own stands as it is.
std::string ResolveLocation(std::string_view base, std::string_view location);

}  // namespace horalux
