// The HTTP request component on libcurl.
#include "webtime/http_request.h"

#include <openssl/opensslv.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <string>
#include <type_traits>

#include "runtime/base/error.h"
#include "webtime/curl_error.h"
#include "webtime/curl_handle.h"
#include "webtime/response_headers.h"

namespace horalux {
namespace {

constexpr long kMaxRedirects = 10;
constexpr const char* kAllowedProtocols = "http,https";

// libcurl reads 0 as "wait for ever"; a time-out always ends the wait, at the latest after the
// longest time libcurl can be given.
long TimeoutMilliseconds(std::chrono::milliseconds timeout) {
  const auto longest = static_cast<std::chrono::milliseconds::rep>(LONG_MAX);
  return static_cast<long>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 1, longest));
}

// People run this program because their clock is wrong, sometimes by years, and then every
// certificate looks expired or not yet valid. The chain, the signatures and the host name are
// still checked; only the certificates' dates are not held against the local clock.
CURLcode IgnoreCertificateDates(CURL*, void* ssl_ctx, void*) {
  X509_VERIFY_PARAM_set_flags(SSL_CTX_get0_param(static_cast<SSL_CTX*>(ssl_ctx)),
                              X509_V_FLAG_NO_CHECK_TIME);
  return CURLE_OK;
}

// Whether libcurl's TLS is the OpenSSL this program is built against, so that the context it
// hands to IgnoreCertificateDates is an SSL_CTX of ours to change.
bool CurlUsesOurOpenSsl() {
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  if (info == nullptr || info->ssl_version == nullptr) return false;
  const std::string ours = "OpenSSL/" + std::to_string(OPENSSL_VERSION_MAJOR) + ".";
  return std::string_view(info->ssl_version).starts_with(ours);
}

// The host part of a URL, or an empty text when it has none.
std::string HostOf(CURLU* url) {
  char* host = nullptr;
  if (curl_url_get(url, CURLUPART_HOST, &host, 0) != CURLUE_OK || host == nullptr) return {};
  std::string result(host);
  curl_free(host);
  return result;
}

std::string HostOfUrlText(const char* url_text) {
  if (url_text == nullptr) return {};
  CurlUrl url = MakeCurlUrl();
  if (curl_url_set(url.get(), CURLUPART_URL, url_text, 0) != CURLUE_OK) return {};
  return HostOf(url.get());
}

// Refuses every URL but a well-formed absolute http or https one, and returns its host.
std::string CheckedHost(std::string_view url_text) {
  auto refuse = [&](CURLUcode code) { return CurlUrlError(code, url_text); };
  // libcurl takes C strings: a NUL inside the text would silently cut the URL short.
  if (url_text.find('\0') != std::string_view::npos) throw refuse(CURLUE_MALFORMED_INPUT);
  const std::string terminated(url_text);
  CurlUrl url = MakeCurlUrl();
  // No CURLU_GUESS_SCHEME: a URL without a scheme is refused rather than taken as http.
  if (const CURLUcode code = curl_url_set(url.get(), CURLUPART_URL, terminated.c_str(), 0);
      code != CURLUE_OK) {
    throw refuse(code);
  }
  char* scheme = nullptr;
  if (const CURLUcode code = curl_url_get(url.get(), CURLUPART_SCHEME, &scheme, 0);
      code != CURLUE_OK) {
    throw refuse(code);
  }
  const bool web_scheme = std::string_view(scheme) == "http" || std::string_view(scheme) == "https";
  curl_free(scheme);
  if (!web_scheme) throw refuse(CURLUE_UNSUPPORTED_SCHEME);
  return HostOf(url.get());
}

}  // namespace

struct HttpRequest::Impl {
  enum class Stage { kNew, kOpened, kSent };

  static std::size_t OnHeaderLine(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t OnBodyData(char* data, std::size_t size, std::size_t count, void* self);

  // `value` is one of the types curl_easy_setopt takes: long, a C string, a pointer or a
  // callback.
  template <typename Value>
  void SetOption(CURLoption option, Value value);

  HttpRequestOptions options;
  Stage stage = Stage::kNew;
  std::string host;
  CurlEasy easy;
  CurlHeaderList request_headers;
  std::string curl_error_text;
  // Gathered by the callbacks: in the end, the final response's.
  ResponseHeaders headers;
};

HttpRequest::HttpRequest(HttpRequestOptions options) : impl_(std::make_unique<Impl>()) {
  impl_->options = std::move(options);
}

HttpRequest::~HttpRequest() = default;

template <typename Value>
void HttpRequest::Impl::SetOption(CURLoption option, Value value) {
  // curl_easy_setopt is variadic and reads numbers as long: an int would be read wrongly.
  static_assert(!std::is_integral_v<Value> || std::is_same_v<Value, long>);
  if (const CURLcode code = curl_easy_setopt(easy.get(), option, value); code != CURLE_OK) {
    throw CurlSetupError(code, "libcurl 不接受 HTTP 请求的设置");
  }
}

void HttpRequest::Open(std::string_view method, std::string_view url, bool asynchronous) {
  Impl& r = *impl_;
  if (r.stage != Impl::Stage::kNew) throw std::logic_error("HttpRequest::Open called twice");
  if (asynchronous) throw std::logic_error("HttpRequest offers synchronous requests only");
  const HttpMethod verb = ParseHttpMethod(method);

  r.host = CheckedHost(url);
  r.easy = MakeCurlEasy();
  r.curl_error_text.assign(CURL_ERROR_SIZE, '\0');

  r.SetOption(CURLOPT_ERRORBUFFER, r.curl_error_text.data());
  // No signals: libcurl may otherwise use SIGALRM for name-resolution time-outs, which is unsafe
  // in a program with threads.
  r.SetOption(CURLOPT_NOSIGNAL, 1L);
  r.SetOption(CURLOPT_URL, std::string(url).c_str());
  r.SetOption(CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
  r.SetOption(CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
  r.SetOption(CURLOPT_FOLLOWLOCATION, 1L);
  r.SetOption(CURLOPT_MAXREDIRS, kMaxRedirects);
  r.SetOption(CURLOPT_CONNECTTIMEOUT_MS, TimeoutMilliseconds(r.options.connect_timeout));
  r.SetOption(CURLOPT_TIMEOUT_MS, TimeoutMilliseconds(r.options.total_timeout));
  // Certificate and host name are checked; these are libcurl's defaults, stated so that nobody
  // mistakes their absence for an oversight.
  r.SetOption(CURLOPT_SSL_VERIFYPEER, 1L);
  r.SetOption(CURLOPT_SSL_VERIFYHOST, 2L);
  if (!r.options.ca_file.empty()) r.SetOption(CURLOPT_CAINFO, r.options.ca_file.c_str());
  // With another TLS library, or one that takes no context callback (CURLE_NOT_BUILT_IN),
  // certificates are checked with their dates: a wrong clock then refuses more, never less.
  if (CurlUsesOurOpenSsl()) {
    curl_easy_setopt(r.easy.get(), CURLOPT_SSL_CTX_FUNCTION, &IgnoreCertificateDates);
  }
  // Proxies: CURLOPT_PROXY and CURLOPT_NOPROXY stay unset, so libcurl takes http_proxy,
  // https_proxy, ALL_PROXY and no_proxy from the environment for every transfer.
  // A proxy's answer to CONNECT is not the server's response; keep it out of the headers.
  r.SetOption(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

  r.SetOption(CURLOPT_HEADERFUNCTION, &Impl::OnHeaderLine);
  r.SetOption(CURLOPT_HEADERDATA, static_cast<void*>(impl_.get()));
  r.SetOption(CURLOPT_WRITEFUNCTION, &Impl::OnBodyData);
  r.SetOption(CURLOPT_WRITEDATA, static_cast<void*>(impl_.get()));

  if (verb == HttpMethod::kGet) {
    r.SetOption(CURLOPT_HTTPGET, 1L);
  } else if (verb == HttpMethod::kHead) {
    r.SetOption(CURLOPT_NOBODY, 1L);
  } else {
    // An empty body that libcurl sends with Content-Length: 0. It would add a form Content-Type
    // of its own (and Expect for larger bodies): the request carries no body, so neither.
    static constexpr char kEmptyBody[] = "";
    r.SetOption(CURLOPT_POSTFIELDSIZE, 0L);
    r.SetOption(CURLOPT_POSTFIELDS, kEmptyBody);
    r.request_headers.Append("Content-Type:");
    r.request_headers.Append("Expect:");
    r.SetOption(CURLOPT_HTTPHEADER, static_cast<void*>(r.request_headers.get()));
  }
  r.stage = Impl::Stage::kOpened;
}

void HttpRequest::Send() {
  Impl& r = *impl_;
  if (r.stage != Impl::Stage::kOpened)
    throw std::logic_error("HttpRequest::Send needs one Open before it");
  r.stage = Impl::Stage::kSent;

  const CURLcode code = curl_easy_perform(r.easy.get());
  // The callbacks stop the transfer on purpose once the final response's headers are in.
  if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && r.headers.complete())) {
    r.easy.reset();
    return;
  }

  r.headers.Clear();
  const std::string_view curl_text(r.curl_error_text.c_str());
  char* effective_url = nullptr;
  std::string host = r.host;
  if (curl_easy_getinfo(r.easy.get(), CURLINFO_EFFECTIVE_URL, &effective_url) == CURLE_OK) {
    if (std::string redirected = HostOfUrlText(effective_url); !redirected.empty()) {
      host = std::move(redirected);
    }
  }
  Error error =
      CurlTransferError(code, host, curl_text, host == r.host ? std::string_view() : r.host);
  r.easy.reset();
  throw error;
}

std::string HttpRequest::GetResponseHeader(std::string_view name) const {
  return impl_->headers.Value(name);
}

std::size_t HttpRequest::Impl::OnHeaderLine(char* data, std::size_t size, std::size_t count,
                                            void* self) {
  const std::size_t length = size * count;
  return static_cast<Impl*>(self)->headers.TakeLine(std::string_view(data, length)) ? length : 0;
}

std::size_t HttpRequest::Impl::OnBodyData(char*, std::size_t, std::size_t, void* self) {
  // libcurl skips the bodies of the redirects it follows, so this is the final response's body,
  // and its headers are complete. Returning 0 ends the transfer; Send treats that as success.
  static_cast<Impl*>(self)->headers.MarkComplete();
  return 0;
}

}  // namespace horalux
