#include "webtime/winhttp_exchange.h"

#include <exception>
#include <utility>

#include "runtime/base/system_text.h"
#include "webtime/hop_sends.h"
#include "webtime/redirect.h"
#include "webtime/winhttp_error.h"
#include "webtime/winhttp_proxy_challenge.h"
#include "webtime/winhttp_response.h"

namespace horalux {
namespace {

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

}  // namespace

WinHttpExchange::WinHttpExchange(WebUrl url, HttpMethod method, HttpRequestOptions options,
                                 WinHttpProxySource proxies)
    : first_url_(std::move(url)),
      method_(method),
      options_(std::move(options)),
      sessions_(options_, std::move(proxies)),
      current_host_(first_url_.host_text) {}

std::string WinHttpExchange::Run() {
  struct Closer {
    WinHttpExchange& exchange;
    ~Closer() { exchange.CloseHandles(); }
  } closer{*this};
  try {
    return Perform();
  } catch (const Error&) {
    throw;
  } catch (const std::exception& failure) {
    throw Error(ErrorKind::kSystem, "HTTP 请求意外失败，主机 " + Quoted(first_url_.host_text) +
                                        "（" + SystemTextToUtf8(failure.what()) + "）");
  }
}

void WinHttpExchange::CloseHandles() noexcept {
  InternetHandle request;
  {
    std::lock_guard lock(mutex_);
    request = std::move(request_);
  }
  // Closed without the lock, which the status callback takes.
  request.reset();
  connection_.reset();
  session_.reset();
  sessions_.Close();
}

void WinHttpExchange::Abandon() noexcept {
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

std::string WinHttpExchange::current_host() const {
  std::lock_guard lock(mutex_);
  return current_host_;
}

std::string WinHttpExchange::Perform() {
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

  std::optional<std::string> headers = QueryHeader(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF);
  if (!headers) {
    throw WinHttpSetupError(::GetLastError(), "无法读取应答头，主机 " + Quoted(url.host_text));
  }
  return std::move(*headers);
}

int WinHttpExchange::SendHop(const WebUrl& url, HttpMethod method) {
  // Each hop has a session of its own, since a proxy is given to a session as it opens.
  InternetHandle session = sessions_.Open(
      url, &WinHttpExchange::OnStatus,
      WINHTTP_CALLBACK_FLAG_SECURE_FAILURE | WINHTTP_CALLBACK_STATUS_SENDING_REQUEST);
  InternetHandle connection(::WinHttpConnect(session.get(), url.host.c_str(), url.port, 0));
  if (!connection) Fail(::GetLastError());
  hop_proxy_ = sessions_.named_proxy();
  proxy_logon_ = false;
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

  // With roots of the caller's own, OnStatus checks the chain against those roots alone.
  SetRequestOptions(request, url, options_.total_timeout, own_roots_ != nullptr);
  // No body: a POST goes out with Content-Length: 0 and no Content-Type.
  const auto context = reinterpret_cast<DWORD_PTR>(this);
  HopSends sends;
  for (;;) {
    // Either call may ask for the request to go out again, as Microsoft's samples handle it.
    DWORD code = CallOnRequest(request, [context](HINTERNET handle) {
      return ::WinHttpSendRequest(handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                                  0, 0, context);
    });
    if (code == 0) {
      code = CallOnRequest(
          request, [](HINTERNET handle) { return ::WinHttpReceiveResponse(handle, nullptr); });
    }
    if (code != 0 && code != ERROR_WINHTTP_RESEND_REQUEST) Fail(code);
    const int status = code == 0 ? StatusCode(request) : 0;
    if (code == 0 && hop_proxy_.empty()) hop_proxy_ = ProxyWindowsChose(request);
    switch (sends.After(code == ERROR_WINHTTP_RESEND_REQUEST, status)) {
      case HopSends::Next::kSendAgain:
        break;
      case HopSends::Next::kAnswerChallenge:
        if (!AnswerProxyChallenge(request)) return status;
        proxy_logon_ = true;
        break;
      case HopSends::Next::kGiveUp:
        Fail(code);
      case HopSends::Next::kDone:
        return status;
    }
  }
}

template <typename Call>
DWORD WinHttpExchange::CallOnRequest(HINTERNET request, Call call) {
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
  return done ? 0 : code;
}

void WinHttpExchange::Fail(DWORD code) {
  // Only this thread changes what the error names, so it reads them with or without the lock.
  // Whatever became of it, an exchange that was sent to another scheme has failed for that.
  if (left_the_web_) code = ERROR_WINHTTP_UNRECOGNIZED_SCHEME;
  throw WinHttpTransferError({code, secure_failure_flags_, redirects_,
                              sessions_.tls12_unavailable(), current_host_,
                              current_host_ == first_url_.host_text ? "" : first_url_.host_text});
}

void CALLBACK WinHttpExchange::OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status,
                                        void* info, DWORD length) {
  // Notices about handles before the request was sent carry no context.
  if (context == 0) return;
  auto& exchange = *reinterpret_cast<WinHttpExchange*>(context);
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
      if (exchange.own_roots_ &&
          !ServerChainsToOwnRoots(handle, exchange.own_roots_.get(), exchange.current_host_)) {
        exchange.refused_by_own_roots_ = true;
      }
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

}  // namespace horalux
