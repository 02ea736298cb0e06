// The proxy settings of the environment, for tests that must be sure which proxy, if any, is
// used. libcurl reads them; so does WinHTTP under Wine where it takes the default proxy.
#pragma once

#include "testing/scoped_environment.h"

namespace horalux::testing {

// Every proxy variable libcurl reads, unset: tests that talk to their own servers on 127.0.0.1
// must not go through a proxy set for the machine.
inline EnvironmentValues WithoutProxies() {
  EnvironmentValues values;
  for (const char* name : {"http_proxy", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY",
                           "no_proxy", "NO_PROXY"}) {
    values[name] = std::nullopt;
  }
  return values;
}

}  // namespace horalux::testing
