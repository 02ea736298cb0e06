#include "webtime/winhttp_session.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <string>

#include "runtime/base/windows_text.h"
#include "webtime/proxy_choice.h"
#include "webtime/user_agent.h"
#include "webtime/winhttp_error.h"
#include "webtime/winhttp_proxy.h"

namespace horalux {
namespace {

constexpr DWORD kTlsUpTo12 = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 |
                             WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 |
                             WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;

// WinHTTP takes time-outs as int milliseconds, where 0 would mean "wait for ever".
int TimeoutMilliseconds(std::chrono::milliseconds timeout) {
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 1, INT_MAX));
}

}  // namespace

WinHttpSessions::WinHttpSessions(const HttpRequestOptions& options, WinHttpProxySource proxies)
    : connect_timeout_(options.connect_timeout),
      total_timeout_(options.total_timeout),
      proxies_(std::move(proxies)) {}

InternetHandle WinHttpSessions::Open(const WebUrl& url, WINHTTP_STATUS_CALLBACK callback,
                                     DWORD notices) {
  const std::wstring agent(kUserAgent, kUserAgent + std::strlen(kUserAgent));
  InternetHandle session;
  named_proxy_.clear();
  // The system's proxy settings, PAC scripts included, where WinHTTP can find them itself
  // (Windows 8.1 and later).
  if (proxies_.automatic && !internet_options_) {
    session.reset(::WinHttpOpen(agent.c_str(), WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session && ::GetLastError() != ERROR_INVALID_PARAMETER) {
      throw WinHttpSetupError(::GetLastError(), "无法打开 WinHTTP 会话");
    }
  }
  if (!session) {
    // Before 8.1: the proxy for this URL from the user's Internet Options settings.
    if (!internet_options_) internet_options_ = proxies_.internet_options();
    const std::optional<std::wstring> wide_url = Utf8ToWide(url.text);
    const SessionProxy proxy =
        wide_url ? ResolveProxyPlan(discovery_session_,
                                    PlanProxy(*internet_options_, url.secure ? "https" : "http"),
                                    *wide_url)
                 : SessionProxy{};
    const bool named = proxy.access_type == WINHTTP_ACCESS_TYPE_NAMED_PROXY;
    if (named && !BypassesNamedProxy(WideToUtf8(proxy.bypass), url.host_text)) {
      named_proxy_ = WideToUtf8(proxy.proxy);
    }
    session.reset(::WinHttpOpen(
        agent.c_str(), proxy.access_type, named ? proxy.proxy.c_str() : WINHTTP_NO_PROXY_NAME,
        named && !proxy.bypass.empty() ? proxy.bypass.c_str() : WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) throw WinHttpSetupError(::GetLastError(), "无法打开 WinHTTP 会话");
  }

  // Windows 7 offers only SSL 3 and TLS 1.0 unless asked, and takes TLS 1.2 only with update
  // KB3140245; 1.3 only the newest systems take.
  DWORD protocols = kTlsUpTo12 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
  if (!::WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols,
                          sizeof protocols)) {
    protocols = kTlsUpTo12;
    tls12_unavailable_ = !::WinHttpSetOption(session.get(), WINHTTP_OPTION_SECURE_PROTOCOLS,
                                             &protocols, sizeof protocols);
  }

  const int connect_ms = TimeoutMilliseconds(std::min(connect_timeout_, total_timeout_));
  const int total_ms = TimeoutMilliseconds(total_timeout_);
  if (!::WinHttpSetTimeouts(session.get(), connect_ms, connect_ms, total_ms, total_ms)) {
    throw WinHttpSetupError(::GetLastError(), "WinHTTP 不接受请求的超时设置");
  }
  if (::WinHttpSetStatusCallback(session.get(), callback, notices, 0) ==
      WINHTTP_INVALID_STATUS_CALLBACK) {
    throw WinHttpSetupError(::GetLastError(), "WinHTTP 不接受状态回调");
  }
  return session;
}

void SetRequestOptions(HINTERNET request, const WebUrl& url,
                       std::chrono::milliseconds total_timeout, bool own_roots) {
  SetWinHttpOption(request, WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_NEVER,
                   "WinHTTP 不接受重定向设置");
  // Nothing the request does not ask for: no cookies, no redirects of WinHTTP's own.
  SetWinHttpOption(request, WINHTTP_OPTION_DISABLE_FEATURE,
                   WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_REDIRECTS, "WinHTTP 不接受请求的设置");
  // Servers never get the user's logon; a proxy that asks for it does (AnswerProxyChallenge).
  SetWinHttpOption(request, WINHTTP_OPTION_AUTOLOGON_POLICY, WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH,
                   "WinHTTP 不接受登录设置");
  SetWinHttpOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT,
                   static_cast<DWORD>(TimeoutMilliseconds(total_timeout)),
                   "WinHTTP 不接受请求的超时设置");
  if (url.secure) {
    // The clock may be the very thing that is wrong, so certificates' dates are not held
    // against it.
    DWORD security = SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
    if (own_roots) security |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    SetWinHttpOption(request, WINHTTP_OPTION_SECURITY_FLAGS, security,
                     "WinHTTP 不接受证书检查的设置");
  }
}

void SetWinHttpOption(HINTERNET handle, DWORD option, DWORD value, std::string_view what) {
  if (!::WinHttpSetOption(handle, option, &value, sizeof value)) {
    throw WinHttpSetupError(::GetLastError(), what);
  }
}

}  // namespace horalux
