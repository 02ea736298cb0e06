// A proxy's own answer is no time: it carries the proxy's clock, and the request never reached the
// site. A 407 is always the proxy refusing the request; through a proxy, a 502, 503 or 504 is the
// proxy's page for a site it could not reach. Every other answer serves, whatever its status.
// The window's request (http_request.cpp) and the windowless modes' timed answers both ask here.
#pragma once

#include <string_view>

namespace horalux {

// Raises the named failure (ErrorKind::kNetwork) when the answer with `status` to a request for
// `host` is the proxy's own: a 407 always, whether or not the proxy is known; a 502, 503 or 504
// only when the request went through `proxy` ("proxy.example:8080"; empty: it went directly).
// `logon_offered`: credentials were given to the proxy, so that a 407 means they were refused.
void CheckProxyAnswer(int status, std::string_view proxy, std::string_view host,
                      bool logon_offered = false);

}  // namespace horalux
