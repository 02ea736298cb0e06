// Linux only: one way of proxy_route.h given to a libcurl transfer, with the logon the proxy may
// ask for, and which failures leave the next way worth trying.
#pragma once

#include <curl/curl.h>

#include <string>

#include "webtime/proxy_route.h"

namespace horalux {

// The proxy of `way` (none for a direct way, whatever the environment says); `bypass_list` the
// hosts a redirect reaches directly. A proxy's logon is answered as it asks (Basic, Digest, NTLM,
// Negotiate; the strongest it offers) with the credentials of its URL, or without them through
// Negotiate with the user's Kerberos ticket where there is one. Only the proxy gets them: the
// site is never sent credentials of ours.
void ApplyProxyWay(CURL* easy, const ProxyWay& way, const std::string& bypass_list);

// Whether a transfer that ended with `code` failed before anything reached the site or a proxy
// (its name not resolved, no connection): then the next way may be tried without sending twice.
bool FailedBeforeSending(CURLcode code);

}  // namespace horalux
