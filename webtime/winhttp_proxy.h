// Windows only: the proxy of one request where WinHTTP cannot find the system's itself (before
// Windows 8.1): the user's Internet Options settings read, and the plan of proxy_choice.h carried
// out with WinHttpGetProxyForUrl for auto-detection and configuration scripts.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <string>

#include "webtime/proxy_choice.h"
#include "webtime/winhttp_handle.h"

namespace horalux {

// The current user's settings (WinHttpGetIEProxyConfigForCurrentUser); none where Windows has
// none to give, which means a direct connection.
InternetOptionsProxy ReadInternetOptionsProxy();

// What WinHttpOpen is to be given for a session that carries one request: an access type, and
// for WINHTTP_ACCESS_TYPE_NAMED_PROXY the proxy and its bypass list. (Wine takes a proxy only
// there, not as a session's or a request's option.)
struct SessionProxy {
  DWORD access_type = WINHTTP_ACCESS_TYPE_NO_PROXY;
  std::wstring proxy;
  std::wstring bypass;
};

// The proxy that `plan` gives for `url`: the first of auto-detection and the script that names
// one (or says to go directly), else the named proxy with its bypass list, else none. A script or
// detection that fails is passed over, as Internet Explorer does. Both ask WinHTTP through
// `discovery`, a session without proxy opened here when first needed.
SessionProxy ResolveProxyPlan(InternetHandle& discovery, const ProxyPlan& plan,
                              const std::wstring& url);

}  // namespace horalux
