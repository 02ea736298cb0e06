// The HTTP request component's transfer on WinHTTP.
//
// WinHTTP's time-outs each bound one step (resolving, connecting, sending, one read), so a server
// that trickles its headers a byte at a time never runs into them. The exchange therefore runs on
// a thread of its own, and Perform waits for it only until the overall deadline; then it closes
// the request handle, which makes Windows end the pending call, and reports the time-out without
// waiting further. (Wine's WinHTTP does not end a pending call that way: there the thread ends
// when the server or one of WinHTTP's own time-outs ends the call, with nobody waiting for it.)
//
// Redirects are followed here, not by WinHTTP: each hop is a request of its own, so that the
// certificate options hold on every https hop. Windows refuses them on a plain-http request, and
// a redirect WinHTTP follows from http to https would check the certificate's dates against a
// clock that may be years off.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "runtime/base/error.h"
#include "runtime/base/system_text.h"
#include "runtime/base/windows_text.h"
#include "webtime/redirect.h"
#include "webtime/response_headers.h"
#include "webtime/user_agent.h"
#include "webtime/winhttp_certificate.h"
#include "webtime/winhttp_error.h"
#include "webtime/winhttp_handle.h"
#include "webtime/winhttp_transfer.h"
#include "webtime/winhttp_url.h"

namespace horalux {
namespace {

struct CertificateReleaser {
  void operator()(PCCERT_CONTEXT certificate) const noexcept {
    ::CertFreeCertificateContext(certificate);
  }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateReleaser>;

constexpr int kProxyAuthenticationRequired = 407;
constexpr DWORD kTlsUpTo12 = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1 |
                             WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 |
                             WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;

// WinHTTP takes time-outs as int milliseconds, where 0 would mean "wait for ever".
int TimeoutMilliseconds(std::chrono::milliseconds timeout) {
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 1, INT_MAX));
}

// WinHTTP hands header lines out decoded with the ANSI code page: encoded back, they are the
// bytes the server sent.
std::string HeaderBytes(std::wstring_view headers) {
  if (headers.empty()) return {};
  const int size = ::WideCharToMultiByte(
      CP_ACP, 0, headers.data(), static_cast<int>(headers.size()), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, headers.data(), static_cast<int>(headers.size()), bytes.data(),
                        size, nullptr, nullptr);
  return bytes;
}

// The bytes of a header (`query` one of WINHTTP_QUERY_*), or nothing when the response has none.
std::optional<std::string> QueryHeader(HINTERNET request, DWORD query) {
  DWORD size = 0;
  ::WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                        &size, WINHTTP_NO_HEADER_INDEX);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (!::WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  text.resize(size / sizeof(wchar_t));
  return HeaderBytes(text);
}

// The proxy that Windows chose itself for a request it has sent ("proxy.example:8080"), or an
// empty text where it went directly or Windows does not say (before 8.1, and under Wine).
std::string ProxyWindowsChose(HINTERNET request) {
  WINHTTP_PROXY_RESULT_ENTRY entry{};
  DWORD size = sizeof entry;
  if (!::WinHttpQueryOption(request, WINHTTP_OPTION_PROXY_RESULT_ENTRY, &entry, &size) ||
      !entry.fProxy || entry.pwszProxy == nullptr) {
    return {};
  }
  return WideToUtf8(entry.pwszProxy) + ":" + std::to_string(entry.ProxyPort);
}

int StatusCode(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    return 0;
  }
  return static_cast<int>(status);
}

const wchar_t* VerbOf(HttpMethod method) {
  switch (method) {
    case HttpMethod::kGet:
      return L"GET";
    case HttpMethod::kHead:
      return L"HEAD";
    case HttpMethod::kPost:
      break;
  }
  return L"POST";
}

// One exchange, shared by Perform and the thread that runs it; the last of them to let go frees
// it.
class Exchange {
 public:
  Exchange(WebUrl url, HttpMethod method, HttpRequestOptions options, WinHttpProxySource proxies)
      : first_url_(std::move(url)),
        method_(method),
        options_(std::move(options)),
        proxies_(std::move(proxies)),
        current_host_(first_url_.host_text) {}

  // On the exchange's own thread: the whole exchange, up to the final response's headers.
  void Run() noexcept;

  // Waits until the exchange has ended or `deadline` has come; true when it has ended.
  bool WaitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return ended_.wait_until(lock, deadline, [this] { return ended_flag_; });
  }

  // At the deadline: nothing more is done, and a pending call is cancelled where WinHTTP can.
  void Abandon() noexcept {
    InternetHandle closing;
    {
      std::lock_guard lock(mutex_);
      abandoned_ = true;
      // Only while a call uses it: then WinHTTP holds the request until the call returns, so the
      // handle cannot be reused for another request under that call's feet.
      if (in_call_) closing = std::move(request_);
    }
    // Closed here, without the lock: closing can wait for a status callback, which takes it.
  }

  // After the exchange has ended: its error, or the final response's raw header lines.
  const std::optional<Error>& error() const { return error_; }
  const std::string& header_bytes() const { return header_bytes_; }
  // After the exchange has ended: the proxy the final hop went through, empty when it went
  // directly or Windows would not say, and whether the user's logon was given to it.
  const std::string& final_proxy() const { return hop_proxy_; }
  bool proxy_logon() const { return proxy_logon_; }

  std::string current_host() const {
    std::lock_guard lock(mutex_);
    return current_host_;
  }

 private:
  static void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, void* info,
                                DWORD length);
  void Perform();
  // A session for one hop to `url`, with its proxy.
  InternetHandle OpenSession(const WebUrl& url);
  // Sends one hop's request, answering a proxy's logon challenge once, and returns the status
  // of its response. The request stays in request_.
  int SendHop(const WebUrl& url, HttpMethod method);
  bool AnswerProxyChallenge(HINTERNET request);
  // Runs one blocking call on the request handle, unless the exchange was abandoned. Raises the
  // translated failure.
  template <typename Call>
  void CallOnRequest(HINTERNET request, Call call);
  void CheckOwnRoots(HINTERNET request);
  [[noreturn]] void Fail(DWORD code);
  void SetOption(HINTERNET handle, DWORD option, DWORD value, std::string_view what);

  const WebUrl first_url_;
  const HttpMethod method_;
  const HttpRequestOptions options_;
  const WinHttpProxySource proxies_;
  CertificateStore own_roots_;

  // Only the exchange's thread uses these. Each hop has a session of its own, since a proxy is
  // given to a session as it opens.
  InternetHandle session_;
  InternetHandle connection_;
  // Where WinHTTP does not find the proxy itself: the settings each hop's proxy comes from, and
  // the session that asks for auto-detection and scripts.
  std::optional<InternetOptionsProxy> internet_options_;
  InternetHandle discovery_session_;
  bool tls12_unavailable_ = false;
  bool refused_by_own_roots_ = false;
  bool left_the_web_ = false;  // a redirect led to a scheme other than http and https
  std::string hop_proxy_;      // the proxy of the latest hop ("proxy.example:8080"), or empty
  bool proxy_logon_ = false;   // the latest hop answered its proxy's challenge

  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable ended_;
  bool ended_flag_ = false;
  bool abandoned_ = false;
  bool in_call_ = false;
  InternetHandle request_;
  int redirects_ = 0;
  std::string current_host_;
  DWORD secure_failure_flags_ = 0;
  std::optional<Error> error_;
  std::string header_bytes_;
};

void Exchange::Run() noexcept {
  std::optional<Error> error;
  try {
    Perform();
  } catch (const Error& failure) {
    error = failure;
  } catch (const std::exception& failure) {
    error = Error(ErrorKind::kSystem, "HTTP 请求意外失败，主机 " + Quoted(first_url_.host_text) +
                                          "（" + SystemTextToUtf8(failure.what()) + "）");
  }
  InternetHandle request;
  {
    std::lock_guard lock(mutex_);
    request = std::move(request_);
  }
  // Closed without the lock, which the status callback takes.
  request.reset();
  connection_.reset();
  session_.reset();
  discovery_session_.reset();
  std::lock_guard lock(mutex_);
  error_ = std::move(error);
  ended_flag_ = true;
  ended_.notify_all();
}

void Exchange::SetOption(HINTERNET handle, DWORD option, DWORD value, std::string_view what) {
  if (!::WinHttpSetOption(handle, option, &value, sizeof value)) {
    throw WinHttpSetupError(::GetLastError(), what);
  }
}

InternetHandle Exchange::OpenSession(const WebUrl& url) {
  const std::wstring agent(kUserAgent, kUserAgent + std::strlen(kUserAgent));
  InternetHandle session;
  hop_proxy_.clear();
  proxy_logon_ = false;
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
    hop_proxy_ = named && !BypassesNamedProxy(WideToUtf8(proxy.bypass), url.host_text)
                     ? WideToUtf8(proxy.proxy)
                     : std::string();
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

  const int connect_ms =
      TimeoutMilliseconds(std::min(options_.connect_timeout, options_.total_timeout));
  const int total_ms = TimeoutMilliseconds(options_.total_timeout);
  if (!::WinHttpSetTimeouts(session.get(), connect_ms, connect_ms, total_ms, total_ms)) {
    throw WinHttpSetupError(::GetLastError(), "WinHTTP 不接受请求的超时设置");
  }
  // The callback is set on the session so that the request handle inherits it.
  const DWORD notices =
      WINHTTP_CALLBACK_FLAG_SECURE_FAILURE | WINHTTP_CALLBACK_STATUS_SENDING_REQUEST;
  if (::WinHttpSetStatusCallback(session.get(), &Exchange::OnStatus, notices, 0) ==
      WINHTTP_INVALID_STATUS_CALLBACK) {
    throw WinHttpSetupError(::GetLastError(), "WinHTTP 不接受状态回调");
  }
  return session;
}

void Exchange::Perform() {
  if (!options_.ca_file.empty()) own_roots_ = LoadPemCertificates(options_.ca_file);

  WebUrl url = first_url_;
  HttpMethod method = method_;
  while (true) {
    const int status = SendHop(url, method);
    if (refused_by_own_roots_) {
      throw WinHttpTransferError(
          {ERROR_WINHTTP_SECURE_INVALID_CA, 0, redirects_, false, url.host_text,
           url.host_text == first_url_.host_text ? "" : first_url_.host_text});
    }
    const std::optional<std::string> location =
        IsRedirectStatus(status) ? QueryHeader(request_.get(), WINHTTP_QUERY_LOCATION)
                                 : std::nullopt;
    if (!location) break;
    if (redirects_ >= kMaxRedirects) Fail(ERROR_WINHTTP_REDIRECT_FAILED);
    const std::string target = ResolveLocation(url.text, *location);
    const std::optional<std::string_view> scheme = SchemeOf(target);
    if (!scheme || !IsWebScheme(*scheme)) {
      left_the_web_ = true;
      Fail(ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
    }
    std::optional<WebUrl> next;
    try {
      next = CheckedUrl(target);
    } catch (const Error&) {
      Fail(ERROR_WINHTTP_INVALID_URL);
    }
    url = std::move(*next);
    method = MethodAfterRedirect(method, status);
    std::lock_guard lock(mutex_);
    ++redirects_;
    current_host_ = url.host_text;
  }

  const std::optional<std::string> headers =
      QueryHeader(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF);
  if (!headers) {
    throw WinHttpSetupError(::GetLastError(), "无法读取应答头，主机 " + Quoted(url.host_text));
  }
  header_bytes_ = *headers;
}

int Exchange::SendHop(const WebUrl& url, HttpMethod method) {
  InternetHandle session = OpenSession(url);
  InternetHandle connection(::WinHttpConnect(session.get(), url.host.c_str(), url.port, 0));
  if (!connection) Fail(::GetLastError());
  InternetHandle owned_request(::WinHttpOpenRequest(
      connection.get(), VerbOf(method), url.path.c_str(), nullptr, WINHTTP_NO_REFERER,
      WINHTTP_DEFAULT_ACCEPT_TYPES, url.secure ? WINHTTP_FLAG_SECURE : 0));
  if (!owned_request) Fail(::GetLastError());
  const HINTERNET request = owned_request.get();
  {
    // The previous hop's handles are closed once out of the lock.
    std::lock_guard lock(mutex_);
    std::swap(request_, owned_request);
  }
  std::swap(connection_, connection);
  std::swap(session_, session);
  owned_request.reset();
  connection.reset();
  session.reset();

  SetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_NEVER,
            "WinHTTP 不接受重定向设置");
  // Nothing the request does not ask for: no cookies, no redirects of WinHTTP's own.
  SetOption(request, WINHTTP_OPTION_DISABLE_FEATURE,
            WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_REDIRECTS, "WinHTTP 不接受请求的设置");
  // Servers never get the user's logon; a proxy that asks for it does (AnswerProxyChallenge).
  SetOption(request, WINHTTP_OPTION_AUTOLOGON_POLICY, WINHTTP_AUTOLOGON_SECURITY_LEVEL_HIGH,
            "WinHTTP 不接受登录设置");
  SetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT,
            static_cast<DWORD>(TimeoutMilliseconds(options_.total_timeout)),
            "WinHTTP 不接受请求的超时设置");
  if (url.secure) {
    // Certificates are checked in full but not against the local clock's date: the clock may
    // be the very thing that is wrong. With roots of the caller's own, WinHTTP lets an unknown
    // root through and OnStatus checks the chain against those roots alone.
    DWORD security = SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
    if (own_roots_) security |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
    SetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, security, "WinHTTP 不接受证书检查的设置");
  }
  // No body: a POST goes out with Content-Length: 0 and no Content-Type.
  const auto context = reinterpret_cast<DWORD_PTR>(this);
  for (bool answered = false;; answered = true) {
    CallOnRequest(request, [context](HINTERNET handle) {
      return ::WinHttpSendRequest(handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                                  0, 0, context);
    });
    CallOnRequest(request,
                  [](HINTERNET handle) { return ::WinHttpReceiveResponse(handle, nullptr); });
    const int status = StatusCode(request);
    if (hop_proxy_.empty()) hop_proxy_ = ProxyWindowsChose(request);
    if (status != kProxyAuthenticationRequired || answered || !AnswerProxyChallenge(request)) {
      return status;
    }
    proxy_logon_ = true;
  }
}

bool Exchange::AnswerProxyChallenge(HINTERNET request) {
  DWORD supported = 0;
  DWORD first = 0;
  DWORD target = 0;
  if (!::WinHttpQueryAuthSchemes(request, &supported, &first, &target) ||
      target != WINHTTP_AUTH_TARGET_PROXY) {
    return false;
  }
  const DWORD scheme = (supported & WINHTTP_AUTH_SCHEME_NEGOTIATE) != 0
                           ? WINHTTP_AUTH_SCHEME_NEGOTIATE
                       : (supported & WINHTTP_AUTH_SCHEME_NTLM) != 0 ? WINHTTP_AUTH_SCHEME_NTLM
                                                                     : 0;
  if (scheme == 0) return false;
  // The logged-on user's own credentials (no name, no password), as the system's components
  // answer a proxy of the network's: the low policy lets them go to a proxy outside the
  // intranet zone, which the medium one reserves for hosts on the bypass list. They go to the
  // proxy alone: only its target gets credentials.
  SetOption(request, WINHTTP_OPTION_AUTOLOGON_POLICY, WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW,
            "WinHTTP 不接受登录设置");
  return ::WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, scheme, nullptr, nullptr,
                                 nullptr) != FALSE;
}

template <typename Call>
void Exchange::CallOnRequest(HINTERNET request, Call call) {
  {
    std::lock_guard lock(mutex_);
    if (abandoned_) Fail(ERROR_WINHTTP_OPERATION_CANCELLED);
    in_call_ = true;
  }
  const BOOL done = call(request);
  const DWORD code = ::GetLastError();
  {
    std::lock_guard lock(mutex_);
    in_call_ = false;
    if (abandoned_) Fail(ERROR_WINHTTP_OPERATION_CANCELLED);
  }
  if (!done) Fail(code);
}

void Exchange::Fail(DWORD code) {
  // Only this thread changes what the error names, so it reads them with or without the lock.
  // Whatever became of it, an exchange that was sent to another scheme has failed for that.
  if (left_the_web_) code = ERROR_WINHTTP_UNRECOGNIZED_SCHEME;
  throw WinHttpTransferError({code, secure_failure_flags_, redirects_, tls12_unavailable_,
                              current_host_,
                              current_host_ == first_url_.host_text ? "" : first_url_.host_text});
}

void Exchange::CheckOwnRoots(HINTERNET request) {
  PCCERT_CONTEXT raw = nullptr;
  DWORD size = sizeof raw;
  // Fails for a hop over plain http, which has no certificate.
  if (!::WinHttpQueryOption(request, WINHTTP_OPTION_SERVER_CERT_CONTEXT, &raw, &size)) return;
  const Certificate certificate(raw);
  const std::optional<std::wstring> host = Utf8ToWide(current_host_);
  if (!host || !ChainsToOwnRoots(certificate.get(), own_roots_.get(), *host)) {
    refused_by_own_roots_ = true;
  }
}

void CALLBACK Exchange::OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, void* info,
                                 DWORD length) {
  // Notices about handles before the request was sent carry no context.
  if (context == 0) return;
  auto& exchange = *reinterpret_cast<Exchange*>(context);
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_SECURE_FAILURE:
      if (info != nullptr && length >= sizeof(DWORD)) {
        std::lock_guard lock(exchange.mutex_);
        exchange.secure_failure_flags_ = *static_cast<const DWORD*>(info);
      }
      break;
    case WINHTTP_CALLBACK_STATUS_SENDING_REQUEST:
      // The connection, TLS included, is up: each hop's certificate is checked before its
      // request goes out.
      if (exchange.own_roots_) exchange.CheckOwnRoots(handle);
      if (exchange.options_.on_sending) {
        // A notice only: nothing may escape into WinHTTP.
        try {
          exchange.options_.on_sending();
        } catch (...) {
        }
      }
      break;
    default:
      break;
  }
}

class WinHttpTransfer final : public HttpTransfer {
 public:
  WinHttpTransfer(const HttpRequestOptions& options, WinHttpProxySource proxies)
      : options_(options), proxies_(std::move(proxies)) {}

  void Prepare(HttpMethod method, std::string_view url) override {
    method_ = method;
    url_ = CheckedUrl(url);
  }

  ResponseRoute Perform(ResponseHeaders& headers) override;

 private:
  const HttpRequestOptions options_;
  const WinHttpProxySource proxies_;
  HttpMethod method_ = HttpMethod::kPost;
  WebUrl url_;
};

ResponseRoute WinHttpTransfer::Perform(ResponseHeaders& headers) {
  const auto deadline = std::chrono::steady_clock::now() +
                        std::max(options_.total_timeout, std::chrono::milliseconds(1));
  auto exchange = std::make_shared<Exchange>(url_, method_, options_, proxies_);
  try {
    std::thread([exchange] { exchange->Run(); }).detach();
  } catch (const std::system_error& failure) {
    throw Error(ErrorKind::kSystem,
                "无法启动 HTTP 请求的线程（" + SystemTextToUtf8(failure.what()) + "）");
  }
  if (!exchange->WaitUntil(deadline)) {
    exchange->Abandon();
    const std::string host = exchange->current_host();
    throw WinHttpTransferError(
        {ERROR_WINHTTP_TIMEOUT, 0, 0, false, host, host == url_.host_text ? "" : url_.host_text});
  }
  if (exchange->error()) throw *exchange->error();

  const std::string& bytes = exchange->header_bytes();
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t end = std::min(bytes.find('\n', start), bytes.size() - 1) + 1;
    headers.TakeLine(std::string_view(bytes).substr(start, end - start));
    start = end;
  }
  headers.MarkComplete();
  return {exchange->current_host(), exchange->final_proxy(), exchange->proxy_logon()};
}

}  // namespace

std::unique_ptr<HttpTransfer> MakeWinHttpTransfer(const HttpRequestOptions& options,
                                                  WinHttpProxySource proxies) {
  return std::make_unique<WinHttpTransfer>(options, std::move(proxies));
}

std::unique_ptr<HttpTransfer> MakeHttpTransfer(const HttpRequestOptions& options) {
  return MakeWinHttpTransfer(options, {});
}

}  // namespace horalux
