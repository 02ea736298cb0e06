// The timed exchange on WinHTTP: one session and connection kept across requests, each request
// timed by WinHTTP's own notices: `sent` as the request is about to go out on the connection,
// `received` when the first bytes of the answer have come in.
//
// Everything a request of the program stands on (the proxy, TLS without the certificates' dates,
// the tests' own roots, a proxy's logon challenge) is the transfer's own, shared through
// winhttp_session.h and its neighbours. Each step of a request is bounded by WinHTTP's time-outs,
// which the options set.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "runtime/base/error.h"
#include "runtime/base/windows_text.h"
#include "webtime/hop_sends.h"
#include "webtime/redirect.h"
#include "webtime/timed_exchange.h"
#include "webtime/winhttp_certificate.h"
#include "webtime/winhttp_error.h"
#include "webtime/winhttp_handle.h"
#include "webtime/winhttp_proxy_challenge.h"
#include "webtime/winhttp_response.h"
#include "webtime/winhttp_session.h"
#include "webtime/winhttp_transfer.h"
#include "webtime/winhttp_url.h"

namespace horalux {
namespace {

// An answer's body is read so that the connection can carry the next request; past this much, the
// connection is given up instead, and the next request opens another.
constexpr DWORD kMaxBodyBytes = 1 << 20;

constexpr DWORD kNotices = WINHTTP_CALLBACK_FLAG_SECURE_FAILURE |
                           WINHTTP_CALLBACK_FLAG_SEND_REQUEST |
                           WINHTTP_CALLBACK_FLAG_RECEIVE_RESPONSE;

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

// A named proxy for every request, given as the user's Internet Options would give it.
WinHttpProxySource ProxiesFor(const HttpRequestOptions& options) {
  if (options.proxy.empty()) return {};
  std::string proxy = options.proxy;
  // WinHTTP takes "host:port"; a scheme before it names the proxy's own, which can only be http.
  if (const std::size_t scheme_end = proxy.find("://"); scheme_end != std::string::npos) {
    proxy.erase(0, scheme_end + 3);
  }
  while (!proxy.empty() && proxy.back() == '/') proxy.pop_back();
  WinHttpProxySource source;
  source.automatic = false;
  source.internet_options = [proxy] {
    InternetOptionsProxy settings;
    settings.proxy = proxy;
    return settings;
  };
  return source;
}

class WinHttpTimedExchange final : public TimedExchange {
 public:
  WinHttpTimedExchange(WebUrl url, const HttpRequestOptions& options, const WallClock& clock)
      : first_url_(url),
        start_url_(std::move(url)),
        options_(options),
        clock_(clock),
        sessions_(options_, ProxiesFor(options_)) {
    if (!options_.ca_file.empty()) own_roots_ = LoadPemCertificates(options_.ca_file);
  }

  TimedAnswer Send() override;

 private:
  static void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, void* info,
                                DWORD length);
  // Keeps the session and connection when `url` is on the server they lead to.
  void ConnectTo(const WebUrl& url);
  int SendHop(const WebUrl& url, HttpMethod method);
  // Reads the answer's body to its end, or gives the connection up when it is too long or still
  // coming at `deadline`.
  void DropBody(std::chrono::steady_clock::time_point deadline);
  void GiveUpConnection();
  [[noreturn]] void Fail(DWORD code);

  const WebUrl first_url_;
  // Where each Send begins: after the first has followed redirects, their end, so that the kept
  // connection is the one to the server that answers.
  WebUrl start_url_;
  HttpMethod start_method_ = HttpMethod::kPost;
  const HttpRequestOptions options_;
  const WallClock& clock_;
  WinHttpSessions sessions_;
  CertificateStore own_roots_;

  // Closed in the reverse order: the request, then its connection, then its session.
  InternetHandle session_;
  InternetHandle connection_;
  InternetHandle request_;
  std::wstring connected_to_;  // the server of connection_: scheme, host and port

  // What the notices of the hop under way told.
  std::optional<WallTime> sent_;
  std::optional<WallTime> first_bytes_;
  DWORD secure_failure_flags_ = 0;
  bool refused_by_own_roots_ = false;
  int redirects_ = 0;
  std::string current_host_;
};

void WinHttpTimedExchange::ConnectTo(const WebUrl& url) {
  const std::wstring server =
      (url.secure ? L"https://" : L"http://") + url.host + L":" + std::to_wstring(url.port);
  if (connection_ && server == connected_to_) return;
  GiveUpConnection();
  session_ = sessions_.Open(url, &WinHttpTimedExchange::OnStatus, kNotices);
  connection_.reset(::WinHttpConnect(session_.get(), url.host.c_str(), url.port, 0));
  if (!connection_) Fail(::GetLastError());
  connected_to_ = server;
}

int WinHttpTimedExchange::SendHop(const WebUrl& url, HttpMethod method) {
  current_host_ = url.host_text;
  ConnectTo(url);
  request_.reset(::WinHttpOpenRequest(connection_.get(), VerbOf(method), url.path.c_str(), nullptr,
                                      WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                      url.secure ? WINHTTP_FLAG_SECURE : 0));
  if (!request_) Fail(::GetLastError());
  SetRequestOptions(request_.get(), url, options_.total_timeout, own_roots_ != nullptr);
  const auto context = reinterpret_cast<DWORD_PTR>(this);
  HopSends sends;
  for (;;) {
    sent_.reset();
    first_bytes_.reset();
    // No body: a POST goes out with Content-Length: 0 and no Content-Type. Either call may ask
    // for the request to go out again (a kept-alive connection the server closed).
    DWORD code = 0;
    if (!::WinHttpSendRequest(request_.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0,
                              WINHTTP_NO_REQUEST_DATA, 0, 0, context) ||
        !::WinHttpReceiveResponse(request_.get(), nullptr)) {
      code = ::GetLastError();
    }
    if (code != 0 && code != ERROR_WINHTTP_RESEND_REQUEST) Fail(code);
    if (code == 0) {
      // Where WinHTTP said nothing of the answer's bytes, its headers being in is the nearest.
      if (!first_bytes_) first_bytes_ = clock_.Now();
      if (refused_by_own_roots_) {
        throw WinHttpTransferError(
            {ERROR_WINHTTP_SECURE_INVALID_CA, 0, redirects_, sessions_.tls12_unavailable(),
             current_host_, current_host_ == first_url_.host_text ? "" : first_url_.host_text});
      }
    }
    const int status = code == 0 ? StatusCode(request_.get()) : 0;
    switch (sends.After(code == ERROR_WINHTTP_RESEND_REQUEST, status)) {
      case HopSends::Next::kSendAgain:
        break;
      case HopSends::Next::kAnswerChallenge:
        if (!AnswerProxyChallenge(request_.get())) return status;
        break;
      case HopSends::Next::kGiveUp:
        Fail(code);
      case HopSends::Next::kDone:
        return status;
    }
  }
}

void WinHttpTimedExchange::DropBody(std::chrono::steady_clock::time_point deadline) {
  DWORD total = 0;
  char buffer[8192];
  while (total <= kMaxBodyBytes && std::chrono::steady_clock::now() < deadline) {
    DWORD read = 0;
    if (!::WinHttpReadData(request_.get(), buffer, sizeof buffer, &read) || read == 0) return;
    total += read;
  }
  // Too much to drain, or too slow: the next request opens another connection.
  GiveUpConnection();
}

void WinHttpTimedExchange::GiveUpConnection() {
  request_.reset();
  connection_.reset();
  session_.reset();
  connected_to_.clear();
}

TimedAnswer WinHttpTimedExchange::Send() {
  // WinHTTP bounds each call but not a request's whole; a server that answers hop after hop, or
  // trickles its body, is held to the request's time-out here, between calls.
  const auto deadline = std::chrono::steady_clock::now() + options_.total_timeout;
  redirects_ = 0;
  WebUrl url = start_url_;
  HttpMethod method = start_method_;
  int status = 0;
  while (true) {
    status = SendHop(url, method);
    const std::optional<std::string> location =
        IsRedirectStatus(status) ? QueryHeader(request_.get(), WINHTTP_QUERY_LOCATION)
                                 : std::nullopt;
    if (!location) break;
    if (redirects_ >= kMaxRedirects) Fail(ERROR_WINHTTP_REDIRECT_FAILED);
    const std::string target = ResolveLocation(url.text, *location);
    const std::optional<std::string_view> scheme = SchemeOf(target);
    if (!scheme || !IsWebScheme(*scheme)) Fail(ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
    std::optional<WebUrl> next;
    try {
      next = CheckedUrl(target);
    } catch (const Error&) {
      Fail(ERROR_WINHTTP_INVALID_URL);
    }
    DropBody(deadline);
    if (std::chrono::steady_clock::now() >= deadline) Fail(ERROR_WINHTTP_TIMEOUT);
    url = std::move(*next);
    method = MethodAfterRedirect(method, status);
    ++redirects_;
  }
  start_url_ = url;
  start_method_ = method;

  TimedAnswer answer;
  answer.sent = sent_.value_or(*first_bytes_);
  answer.received = *first_bytes_;
  answer.status = status;
  answer.date = QueryHeader(request_.get(), WINHTTP_QUERY_DATE).value_or("");
  answer.age = QueryHeader(request_.get(), WINHTTP_QUERY_AGE).value_or("");
  answer.proxy = sessions_.named_proxy();
  if (answer.proxy.empty()) answer.proxy = ProxyWindowsChose(request_.get());
  DropBody(deadline);
  return answer;
}

void WinHttpTimedExchange::Fail(DWORD code) {
  // A connection that failed is not used again.
  GiveUpConnection();
  throw WinHttpTransferError({code, secure_failure_flags_, redirects_,
                              sessions_.tls12_unavailable(), current_host_,
                              current_host_ == first_url_.host_text ? "" : first_url_.host_text});
}

void CALLBACK WinHttpTimedExchange::OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status,
                                             void* info, DWORD length) {
  // Notices about handles before the request was sent carry no context.
  if (context == 0) return;
  auto& exchange = *reinterpret_cast<WinHttpTimedExchange*>(context);
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_SECURE_FAILURE:
      if (info != nullptr && length >= sizeof(DWORD)) {
        exchange.secure_failure_flags_ = *static_cast<const DWORD*>(info);
      }
      break;
    case WINHTTP_CALLBACK_STATUS_SENDING_REQUEST:
      // The connection, TLS included, is up: its certificate is checked before the request goes.
      if (exchange.own_roots_ &&
          !ServerChainsToOwnRoots(handle, exchange.own_roots_.get(), exchange.current_host_)) {
        exchange.refused_by_own_roots_ = true;
      }
      // Read last, as near to the first byte going out as WinHTTP lets us be.
      exchange.sent_ = exchange.clock_.Now();
      break;
    case WINHTTP_CALLBACK_STATUS_RESPONSE_RECEIVED:
      // Told after each read from the connection; the first after sending carries the first
      // bytes. (RECEIVING_RESPONSE comes as the wait for them begins, long before they are in.
      // Wine reads the answer within WinHttpSendRequest and tells both just after, some tenths of
      // a millisecond past the bytes' coming in.)
      if (exchange.sent_ && !exchange.first_bytes_) exchange.first_bytes_ = exchange.clock_.Now();
      break;
    default:
      break;
  }
}

}  // namespace

std::unique_ptr<TimedExchange> OpenTimedExchange(std::string_view url,
                                                 const HttpRequestOptions& options,
                                                 const WallClock& clock) {
  return std::make_unique<WinHttpTimedExchange>(CheckedUrl(url), options, clock);
}

}  // namespace horalux
