// The HTTP request component on WinHTTP.
//
// WinHTTP's time-outs each bound one step (resolving, connecting, sending, one read), so a server
// that trickles its headers a byte at a time never runs into them. The exchange therefore runs on
// a thread of its own, and Send waits for it only until the overall deadline; then it closes the
// request handle, which makes Windows end the pending call, and reports the time-out without
// waiting further. (Wine's WinHTTP does not end a pending call that way: there the thread ends
// when the server or one of WinHTTP's own time-outs ends the call, with nobody waiting for it.)
#include "webtime/http_request.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <climits>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <type_traits>

#include "runtime/base/error.h"
#include "runtime/base/windows_text.h"
#include "webtime/response_headers.h"
#include "webtime/winhttp_certificate.h"
#include "webtime/winhttp_error.h"

namespace horalux {
namespace {

constexpr DWORD kMaxRedirects = 10;

struct InternetHandleCloser {
  void operator()(HINTERNET handle) const noexcept { ::WinHttpCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleCloser>;

struct CertificateReleaser {
  void operator()(PCCERT_CONTEXT certificate) const noexcept {
    ::CertFreeCertificateContext(certificate);
  }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateReleaser>;

// WinHTTP takes time-outs as int milliseconds, where 0 would mean "wait for ever".
int TimeoutMilliseconds(std::chrono::milliseconds timeout) {
  return static_cast<int>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 1, INT_MAX));
}

// An http or https URL taken apart for WinHTTP.
struct WebUrl {
  bool secure = false;
  std::wstring host;
  INTERNET_PORT port = 0;
  std::wstring path;  // with the query, without the fragment
  std::string host_text;
};

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

// The scheme before the first ':', as RFC 3986 writes it, or nothing.
std::optional<std::string_view> SchemeOf(std::string_view url) {
  const std::size_t colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0 || !IsAsciiLetter(url.front())) return {};
  const std::string_view scheme = url.substr(0, colon);
  const bool well_formed = std::all_of(scheme.begin(), scheme.end(), [](char c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
  });
  if (!well_formed) return {};
  return scheme;
}

// Refuses every URL but a well-formed absolute http or https one, as the libcurl source does:
// no blanks or control characters anywhere, a scheme of its own, a host.
WebUrl CheckedUrl(std::string_view url_text) {
  const bool unprintable = std::any_of(url_text.begin(), url_text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
  });
  const std::optional<std::string_view> scheme = SchemeOf(url_text);
  if (unprintable || !scheme) throw WinHttpUrlError(url_text, false, 0);
  if (!EqualsIgnoringCase(*scheme, "http") && !EqualsIgnoringCase(*scheme, "https")) {
    throw WinHttpUrlError(url_text, true, 0);
  }
  if (url_text.substr(scheme->size(), 3) != "://") throw WinHttpUrlError(url_text, false, 0);
  const std::optional<std::wstring> wide = Utf8ToWide(url_text);
  if (!wide) throw WinHttpUrlError(url_text, false, 0);

  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!::WinHttpCrackUrl(wide->c_str(), static_cast<DWORD>(wide->size()), 0, &parts)) {
    throw WinHttpUrlError(url_text, false, ::GetLastError());
  }
  if (parts.dwHostNameLength == 0) throw WinHttpUrlError(url_text, false, 0);

  WebUrl url;
  url.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  url.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  url.port = parts.nPort;
  url.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  url.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  url.path.erase(std::min(url.path.find(L'#'), url.path.size()));  // never sent
  if (url.path.empty() || url.path.front() != L'/') url.path.insert(0, L"/");
  url.host_text = WideToUtf8(url.host);
  return url;
}

// The host of a URL WinHTTP gives (a redirect's target), or an empty text.
std::string HostOfUrl(const wchar_t* url) {
  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  if (url == nullptr || !::WinHttpCrackUrl(url, 0, 0, &parts)) return {};
  return WideToUtf8(std::wstring_view(parts.lpszHostName, parts.dwHostNameLength));
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

// One exchange, shared by Send and the thread that runs it; the last of them to let go frees it.
class Transfer {
 public:
  Transfer(WebUrl url, HttpMethod method, HttpRequestOptions options)
      : url_(std::move(url)),
        method_(method),
        options_(std::move(options)),
        current_host_(url_.host_text) {}

  // On the exchange's own thread: the whole exchange, up to the final response's headers.
  void Run() noexcept;

  // Waits until the exchange has ended or `deadline` has come; true when it has ended.
  bool WaitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex_);
    return ended_.wait_until(lock, deadline, [this] { return ended_flag_; });
  }

  // At the deadline: nothing more is done, and a pending call is cancelled where WinHTTP can.
  void Abandon() noexcept {
    std::lock_guard lock(mutex_);
    abandoned_ = true;
    // Only while a call uses it: then WinHTTP holds the request until the call returns, so the
    // handle cannot be reused for another request under that call's feet.
    if (in_call_) request_.reset();
  }

  // After the exchange has ended: its error, or the final response's raw header lines.
  const std::optional<Error>& error() const { return error_; }
  const std::string& header_bytes() const { return header_bytes_; }

  std::string current_host() const {
    std::lock_guard lock(mutex_);
    return current_host_;
  }

 private:
  static void CALLBACK OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, void* info,
                                DWORD length);
  void Exchange();
  // Runs one blocking call on the request handle, unless the exchange was abandoned. Raises the
  // translated failure.
  template <typename Call>
  void CallOnRequest(Call call);
  void CheckOwnRoots(HINTERNET request);
  [[noreturn]] void Fail(DWORD code);
  void SetOption(HINTERNET handle, DWORD option, DWORD value, std::string_view what);

  const WebUrl url_;
  const HttpMethod method_;
  const HttpRequestOptions options_;
  CertificateStore own_roots_;

  InternetHandle session_;
  InternetHandle connection_;

  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable ended_;
  bool ended_flag_ = false;
  bool abandoned_ = false;
  bool in_call_ = false;
  InternetHandle request_;
  int redirects_ = 0;
  std::string current_host_;
  DWORD secure_failure_flags_ = 0;
  bool refused_by_own_roots_ = false;
  bool left_the_web_ = false;  // a redirect led to a scheme other than http and https
  std::optional<Error> error_;
  std::string header_bytes_;
};

void Transfer::Run() noexcept {
  std::optional<Error> error;
  try {
    Exchange();
  } catch (const Error& failure) {
    error = failure;
  } catch (const std::exception& failure) {
    error = Error(ErrorKind::kSystem, "HTTP 请求意外失败，主机 " + Quoted(url_.host_text) + "（" +
                                          failure.what() + "）");
  }
  std::unique_lock lock(mutex_);
  request_.reset();
  lock.unlock();
  connection_.reset();
  session_.reset();
  lock.lock();
  error_ = std::move(error);
  ended_flag_ = true;
  ended_.notify_all();
}

void Transfer::SetOption(HINTERNET handle, DWORD option, DWORD value, std::string_view what) {
  if (!::WinHttpSetOption(handle, option, &value, sizeof value)) {
    throw WinHttpSetupError(::GetLastError(), what);
  }
}

void Transfer::Exchange() {
  if (!options_.ca_file.empty()) own_roots_ = LoadPemCertificates(options_.ca_file);

  // The system's proxy settings, PAC scripts included; WinHTTP before Windows 8.1 knows only
  // the settings made with netsh.
  session_.reset(::WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY, WINHTTP_NO_PROXY_NAME,
                               WINHTTP_NO_PROXY_BYPASS, 0));
  if (!session_ && ::GetLastError() == ERROR_INVALID_PARAMETER) {
    session_.reset(::WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                 WINHTTP_NO_PROXY_BYPASS, 0));
  }
  if (!session_) throw WinHttpSetupError(::GetLastError(), "无法打开 WinHTTP 会话");

  const int connect_ms =
      TimeoutMilliseconds(std::min(options_.connect_timeout, options_.total_timeout));
  const int total_ms = TimeoutMilliseconds(options_.total_timeout);
  if (!::WinHttpSetTimeouts(session_.get(), connect_ms, connect_ms, total_ms, total_ms)) {
    throw WinHttpSetupError(::GetLastError(), "WinHTTP 不接受请求的超时设置");
  }
  // The callback is set on the session so that the request handle inherits it.
  const DWORD notices = WINHTTP_CALLBACK_FLAG_REDIRECT | WINHTTP_CALLBACK_FLAG_SECURE_FAILURE |
                        WINHTTP_CALLBACK_STATUS_SENDING_REQUEST;
  if (::WinHttpSetStatusCallback(session_.get(), &Transfer::OnStatus, notices, 0) ==
      WINHTTP_INVALID_STATUS_CALLBACK) {
    throw WinHttpSetupError(::GetLastError(), "WinHTTP 不接受状态回调");
  }

  connection_.reset(::WinHttpConnect(session_.get(), url_.host.c_str(), url_.port, 0));
  if (!connection_) Fail(::GetLastError());
  HINTERNET request = ::WinHttpOpenRequest(
      connection_.get(), VerbOf(method_), url_.path.c_str(), nullptr, WINHTTP_NO_REFERER,
      WINHTTP_DEFAULT_ACCEPT_TYPES, url_.secure ? WINHTTP_FLAG_SECURE : 0);
  if (request == nullptr) Fail(::GetLastError());
  {
    std::lock_guard lock(mutex_);
    request_.reset(request);
  }

  // Redirects to http as well as https, as with libcurl, and at most ten of them.
  SetOption(request, WINHTTP_OPTION_REDIRECT_POLICY, WINHTTP_OPTION_REDIRECT_POLICY_ALWAYS,
            "WinHTTP 不接受重定向设置");
  SetOption(request, WINHTTP_OPTION_MAX_HTTP_AUTOMATIC_REDIRECTS, kMaxRedirects,
            "WinHTTP 不接受重定向次数设置");
  // Nothing the request does not ask for: no cookies carried between redirects, no logging on.
  SetOption(request, WINHTTP_OPTION_DISABLE_FEATURE,
            WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_AUTHENTICATION, "WinHTTP 不接受请求的设置");
  SetOption(request, WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, static_cast<DWORD>(total_ms),
            "WinHTTP 不接受请求的超时设置");
  // Certificates are checked in full but not against the local clock's date: the clock may be
  // the very thing that is wrong. With roots of the caller's own, WinHTTP lets an unknown root
  // through and OnStatus checks the chain against those roots alone.
  DWORD security = SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;
  if (own_roots_) security |= SECURITY_FLAG_IGNORE_UNKNOWN_CA;
  if (url_.secure) {
    SetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, security, "WinHTTP 不接受证书检查的设置");
  } else {
    // A redirect may lead to https; the flags then apply there. WinHTTP refuses them on an
    // http request before it has a secure connection on some versions: then the defaults hold.
    ::WinHttpSetOption(request, WINHTTP_OPTION_SECURITY_FLAGS, &security, sizeof security);
  }

  // No body: a POST goes out with Content-Length: 0 and no Content-Type.
  const auto context = reinterpret_cast<DWORD_PTR>(this);
  CallOnRequest([context](HINTERNET handle) {
    return ::WinHttpSendRequest(handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                                0, 0, context);
  });
  CallOnRequest([](HINTERNET handle) { return ::WinHttpReceiveResponse(handle, nullptr); });

  std::lock_guard lock(mutex_);
  if (left_the_web_) Fail(ERROR_WINHTTP_UNRECOGNIZED_SCHEME);
  if (refused_by_own_roots_) {
    throw WinHttpTransferError({ERROR_WINHTTP_SECURE_INVALID_CA, 0, redirects_, current_host_,
                                current_host_ == url_.host_text ? "" : url_.host_text});
  }
  DWORD size = 0;
  ::WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF,
                        WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER, &size,
                        WINHTTP_NO_HEADER_INDEX);
  std::wstring headers(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(headers.size() * sizeof(wchar_t));
  if (!::WinHttpQueryHeaders(request_.get(), WINHTTP_QUERY_RAW_HEADERS_CRLF,
                             WINHTTP_HEADER_NAME_BY_INDEX, headers.data(), &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    throw WinHttpSetupError(::GetLastError(), "无法读取应答头，主机 " + Quoted(current_host_));
  }
  headers.resize(size / sizeof(wchar_t));
  header_bytes_ = HeaderBytes(headers);
}

template <typename Call>
void Transfer::CallOnRequest(Call call) {
  HINTERNET request;
  {
    std::lock_guard lock(mutex_);
    if (abandoned_) Fail(ERROR_WINHTTP_OPERATION_CANCELLED);
    in_call_ = true;
    request = request_.get();
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

void Transfer::Fail(DWORD code) {
  // Only this thread changes what the error names, so it reads them with or without the lock.
  // Whatever became of it, an exchange that was sent to another scheme has failed for that.
  if (left_the_web_) code = ERROR_WINHTTP_UNRECOGNIZED_SCHEME;
  throw WinHttpTransferError({code, secure_failure_flags_, redirects_, current_host_,
                              current_host_ == url_.host_text ? "" : url_.host_text});
}

void Transfer::CheckOwnRoots(HINTERNET request) {
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

void CALLBACK Transfer::OnStatus(HINTERNET handle, DWORD_PTR context, DWORD status, void* info,
                                 DWORD length) {
  // Notices about handles before the request was sent carry no context.
  if (context == 0) return;
  auto& transfer = *reinterpret_cast<Transfer*>(context);
  switch (status) {
    case WINHTTP_CALLBACK_STATUS_REDIRECT: {
      // Windows gives the absolute target; Wine gives the Location as it stands, and takes one
      // it cannot parse, such as an ftp URL, for a relative path on the same server.
      const std::wstring target = info != nullptr ? static_cast<const wchar_t*>(info) : L"";
      const std::string target_text = WideToUtf8(target);
      const std::optional<std::string_view> scheme = SchemeOf(target_text);
      std::string host = HostOfUrl(target.c_str());
      std::lock_guard lock(transfer.mutex_);
      ++transfer.redirects_;
      if (scheme && !EqualsIgnoringCase(*scheme, "http") && !EqualsIgnoringCase(*scheme, "https")) {
        transfer.left_the_web_ = true;
      }
      if (!host.empty()) transfer.current_host_ = std::move(host);
      break;
    }
    case WINHTTP_CALLBACK_STATUS_SECURE_FAILURE:
      if (info != nullptr && length >= sizeof(DWORD)) {
        std::lock_guard lock(transfer.mutex_);
        transfer.secure_failure_flags_ = *static_cast<const DWORD*>(info);
      }
      break;
    case WINHTTP_CALLBACK_STATUS_SENDING_REQUEST:
      // The connection, TLS included, is up: each hop's certificate is checked before its
      // request goes out.
      if (transfer.own_roots_) transfer.CheckOwnRoots(handle);
      break;
    default:
      break;
  }
}

}  // namespace

struct HttpRequest::Impl {
  enum class Stage { kNew, kOpened, kSent };

  HttpRequestOptions options;
  Stage stage = Stage::kNew;
  HttpMethod method = HttpMethod::kPost;
  std::optional<WebUrl> url;
  ResponseHeaders headers;
};

HttpRequest::HttpRequest(HttpRequestOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
}

HttpRequest::~HttpRequest() = default;

void HttpRequest::Open(std::string_view method, std::string_view url, bool asynchronous) {
  Impl& r = *impl_;
  if (r.stage != Impl::Stage::kNew) throw std::logic_error("HttpRequest::Open called twice");
  if (asynchronous) throw std::logic_error("HttpRequest offers synchronous requests only");
  r.method = ParseHttpMethod(method);
  r.url = CheckedUrl(url);
  r.stage = Impl::Stage::kOpened;
}

void HttpRequest::Send() {
  Impl& r = *impl_;
  if (r.stage != Impl::Stage::kOpened)
    throw std::logic_error("HttpRequest::Send needs one Open before it");
  r.stage = Impl::Stage::kSent;

  const auto deadline = std::chrono::steady_clock::now() +
                        std::max(r.options.total_timeout, std::chrono::milliseconds(1));
  auto transfer = std::make_shared<Transfer>(*r.url, r.method, r.options);
  try {
    std::thread([transfer] { transfer->Run(); }).detach();
  } catch (const std::system_error& failure) {
    throw Error(ErrorKind::kSystem,
                "无法启动 HTTP 请求的线程（" + std::string(failure.what()) + "）");
  }
  if (!transfer->WaitUntil(deadline)) {
    transfer->Abandon();
    const std::string host = transfer->current_host();
    throw WinHttpTransferError(
        {ERROR_WINHTTP_TIMEOUT, 0, 0, host, host == r.url->host_text ? "" : r.url->host_text});
  }
  if (transfer->error()) throw *transfer->error();

  const std::string& bytes = transfer->header_bytes();
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t end = std::min(bytes.find('\n', start), bytes.size() - 1) + 1;
    r.headers.TakeLine(std::string_view(bytes).substr(start, end - start));
    start = end;
  }
  r.headers.MarkComplete();
}

std::string HttpRequest::GetResponseHeader(std::string_view name) const {
  return impl_->headers.Value(name);
}

}  // namespace horalux
