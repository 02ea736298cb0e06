// Windows only: what every WinHTTP request of the program stands on. A session for one URL, with
// the system's proxy for it and the TLS versions Windows takes, and the options each request on it
// carries (no redirects, cookies or server logon of WinHTTP's own; certificates checked without
// their dates). The transfer and the timed exchange both open theirs here.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "webtime/http_request.h"
#include "webtime/winhttp_handle.h"
#include "webtime/winhttp_transfer.h"
#include "webtime/winhttp_url.h"

namespace horalux {

// Opens the sessions of one exchange, a hop at a time: a proxy is given to a session as it opens,
// so each URL gets a session of its own.
class WinHttpSessions {
 public:
  WinHttpSessions(const HttpRequestOptions& options, WinHttpProxySource proxies);

  // A session for requests to `url`, with its proxy, the newest TLS Windows takes, the options'
  // time-outs, and `callback` told of `notices` (set on the session, so that its requests
  // inherit it). Raises the translated failure when WinHTTP refuses one of them.
  InternetHandle Open(const WebUrl& url, WINHTTP_STATUS_CALLBACK callback, DWORD notices);

  // Whether Windows refused to enable TLS 1.2 on the last session (Windows 7 without KB3140245).
  bool tls12_unavailable() const { return tls12_unavailable_; }
  // The proxy the last session was given by name for its URL ("proxy.example:8080"), or empty
  // where it goes directly or WinHTTP chooses the proxy itself.
  const std::string& named_proxy() const { return named_proxy_; }

  // Closes the session kept for proxy discovery; the next Open opens it again if needed.
  void Close() noexcept { discovery_session_.reset(); }

 private:
  const std::chrono::milliseconds connect_timeout_;
  const std::chrono::milliseconds total_timeout_;
  const WinHttpProxySource proxies_;
  // Where WinHTTP does not find the proxy itself: the settings each hop's proxy comes from, and
  // the session that asks for auto-detection and scripts.
  std::optional<InternetOptionsProxy> internet_options_;
  InternetHandle discovery_session_;
  bool tls12_unavailable_ = false;
  std::string named_proxy_;
};

// Sets the options every request of the program carries on `request`, a request to `url`: WinHTTP
// follows no redirect and keeps no cookie, servers never get the user's logon, the answer is
// awaited up to `total_timeout`, and an https certificate is checked in full but not against the
// local clock's date. With roots of the caller's own (`own_roots`), an unknown root is let through
// for the caller to check the chain against those alone.
void SetRequestOptions(HINTERNET request, const WebUrl& url,
                       std::chrono::milliseconds total_timeout, bool own_roots);

// Sets one DWORD option; `what` names the step in the failure raised when WinHTTP refuses it.
void SetWinHttpOption(HINTERNET handle, DWORD option, DWORD value, std::string_view what);

}  // namespace horalux
