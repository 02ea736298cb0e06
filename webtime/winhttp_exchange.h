// Windows only: one exchange of the WinHTTP transfer, from the first hop to the final response's
// headers. Redirects are followed here, not by WinHTTP: each hop is a request of its own, so that
// the certificate options hold on every https hop. Windows refuses them on a plain-http request,
// and a redirect WinHTTP follows from http to https would check the certificate's dates against a
// clock that may be years off.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <mutex>
#include <optional>
#include <string>

#include "runtime/base/error.h"
#include "webtime/http_request.h"
#include "webtime/winhttp_certificate.h"
#include "webtime/winhttp_handle.h"
#include "webtime/winhttp_session.h"
#include "webtime/winhttp_transfer.h"
#include "webtime/winhttp_url.h"

namespace horalux {

// Runs on a thread of its own while another may abandon it; the two share it.
class WinHttpExchange {
 public:
  WinHttpExchange(WebUrl url, HttpMethod method, HttpRequestOptions options,
                  WinHttpProxySource proxies);

  // The whole exchange, up to the final response's header lines, which it returns; raises the
  // translated failure. Every handle is closed when it returns.
  std::string Run();

  // From another thread: nothing more is done, and a pending call is cancelled where WinHTTP can
  // (Wine's WinHTTP does not end a pending call that way: there Run returns when the server or
  // one of WinHTTP's own time-outs ends the call).
  void Abandon() noexcept;

  // The host of the hop under way, for a caller that gives up waiting.
  std::string current_host() const;
  // After Run has returned: the proxy the final hop went through, empty when it went directly
  // or Windows would not say, and whether the user's logon was given to it.
  const std::string& final_proxy() const { return hop_proxy_; }
  bool proxy_logon() const { return proxy_logon_; }

 private:
  static void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, void* info,
                                DWORD length);
  std::string Perform();
  // Sends one hop's request, again when WinHTTP asks (HopSends) and after answering a proxy's
  // logon challenge once, and returns the status of its response. The request stays in request_.
  int SendHop(const WebUrl& url, HttpMethod method);
  // Runs one blocking call on the request handle, unless the exchange was abandoned (then raises
  // the cancellation). Returns 0 when the call succeeded, else its error code.
  template <typename Call>
  DWORD CallOnRequest(HINTERNET request, Call call);
  [[noreturn]] void Fail(DWORD code);
  void CloseHandles() noexcept;

  const WebUrl first_url_;
  const HttpMethod method_;
  const HttpRequestOptions options_;
  CertificateStore own_roots_;

  // Only the exchange's thread uses these.
  WinHttpSessions sessions_;
  InternetHandle session_;
  InternetHandle connection_;
  bool refused_by_own_roots_ = false;
  bool left_the_web_ = false;  // a redirect led to a scheme other than http and https
  std::string hop_proxy_;      // the proxy of the latest hop ("proxy.example:8080"), or empty
  bool proxy_logon_ = false;   // the latest hop answered its proxy's challenge

  mutable std::mutex mutex_;  // guards everything below
  bool abandoned_ = false;
  bool in_call_ = false;
  InternetHandle request_;
  int redirects_ = 0;
  std::string current_host_;
  DWORD secure_failure_flags_ = 0;
};

}  // namespace horalux
