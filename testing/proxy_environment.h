// The proxy settings of the environment, for tests that must be sure which proxy, if any, is
// used. libcurl reads them; so does WinHTTP under Wine where it takes the default proxy.
#pragma once

#include <array>

#include "testing/scoped_environment.h"

namespace horalux::testing {

// Every variable through which a proxy can be named or bypassed, in both cases: libcurl reads
// the lower-case http_proxy only, other programs the upper-case one too.
inline constexpr std::array<const char*, 8> kProxyVariables = {
    "http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY",
    "all_proxy",  "ALL_PROXY",  "no_proxy",    "NO_PROXY"};

// Every proxy variable unset: tests that talk to their own servers on 127.0.0.1 must not go
// through a proxy set for the machine.
inline EnvironmentValues WithoutProxies() {
  EnvironmentValues values;
  for (const char* name : kProxyVariables) values[name] = std::nullopt;
  return values;
}

}  // namespace horalux::testing
