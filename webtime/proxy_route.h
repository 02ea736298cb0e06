// Linux only: which ways a request to a URL may take, in the order to try them, decided once for
// every libcurl transfer of the program: the proxy of the options (--proxy) alone; else the
// environment's (http_proxy, https_proxy, all_proxy, no_proxy), which wins over the desktop's as
// it does for the desktop's own programs; else, in a desktop session, the desktop's settings
// (desktop_proxy.h), each proxy they list in turn, a direct connection where they say so;
// else directly.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "webtime/http_request.h"

namespace horalux {

// One way to the site.
struct ProxyWay {
  std::string proxy_url;  // what libcurl is given as the proxy; empty: directly
  std::string name;       // "proxy.example:8080" for messages; empty: directly
  bool logon = false;     // the proxy's URL carries a user name to log on with
};

// The ways for a request to `url` (`scheme` http or https, `host` as in the URL), never none.
// Asking the desktop takes at most `limit`.
std::vector<ProxyWay> ProxyWaysFor(std::string_view url, std::string_view scheme,
                                   std::string_view host, const HttpRequestOptions& options,
                                   std::chrono::milliseconds limit);

// The environment's no_proxy (or NO_PROXY), so that a redirect to a host it lists goes directly
// whatever proxy the first URL took; empty when unset.
std::string EnvironmentBypassList();

}  // namespace horalux
