// The HTTP request component's transfer on libcurl.
#include "webtime/http_transfer.h"

#include <openssl/opensslv.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <climits>
#include <optional>
#include <string>
#include <type_traits>

#include "runtime/base/error.h"
#include "webtime/curl_error.h"
#include "webtime/curl_handle.h"
#include "webtime/environment_proxy.h"
#include "webtime/proxy_answer.h"
#include "webtime/redirect.h"
#include "webtime/response_headers.h"
#include "webtime/user_agent.h"

namespace horalux {
namespace {

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

// The scheme and host of a URL libcurl went to; empty texts where it has none.
struct SchemeAndHost {
  std::string scheme;
  std::string host;
};

SchemeAndHost SchemeAndHostOf(const char* url_text) {
  if (url_text == nullptr) return {};
  CurlUrl url = MakeCurlUrl();
  if (curl_url_set(url.get(), CURLUPART_URL, url_text, 0) != CURLUE_OK) return {};
  SchemeAndHost parts{{}, HostOf(url.get())};
  char* scheme = nullptr;
  if (curl_url_get(url.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK && scheme != nullptr) {
    parts.scheme = scheme;
    curl_free(scheme);
  }
  return parts;
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

class CurlTransfer final : public HttpTransfer {
 public:
  explicit CurlTransfer(const HttpRequestOptions& options) : options_(options) {}

  void Prepare(HttpMethod method, std::string_view url) override;
  ResponseRoute Perform(ResponseHeaders& headers) override;

 private:
  // The final hop's host and the proxy libcurl took for it from the environment.
  ResponseRoute FinalRoute() const;

  static std::size_t OnHeaderLine(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t OnBodyData(char* data, std::size_t size, std::size_t count, void* self);
  static int OnSending(void* self, char* peer_address, char* local_address, int peer_port,
                       int local_port);

  // `value` is one of the types curl_easy_setopt takes: long, a C string, a pointer or a
  // callback.
  template <typename Value>
  void SetOption(CURLoption option, Value value);

  const HttpRequestOptions options_;
  std::string host_;
  CurlEasy easy_;
  CurlHeaderList request_headers_;
  std::string curl_error_text_;
  // Where the callbacks put what they gather: in the end, the final response's headers.
  ResponseHeaders* headers_ = nullptr;
};

template <typename Value>
void CurlTransfer::SetOption(CURLoption option, Value value) {
  // curl_easy_setopt is variadic and reads numbers as long: an int would be read wrongly.
  static_assert(!std::is_integral_v<Value> || std::is_same_v<Value, long>);
  if (const CURLcode code = curl_easy_setopt(easy_.get(), option, value); code != CURLE_OK) {
    throw CurlSetupError(code, "libcurl 不接受 HTTP 请求的设置");
  }
}

void CurlTransfer::Prepare(HttpMethod method, std::string_view url) {
  host_ = CheckedHost(url);
  easy_ = MakeCurlEasy();
  curl_error_text_.assign(CURL_ERROR_SIZE, '\0');

  SetOption(CURLOPT_ERRORBUFFER, curl_error_text_.data());
  // No signals: libcurl may otherwise use SIGALRM for name-resolution time-outs, which is unsafe
  // in a program with threads.
  SetOption(CURLOPT_NOSIGNAL, 1L);
  SetOption(CURLOPT_URL, std::string(url).c_str());
  SetOption(CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
  SetOption(CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
  SetOption(CURLOPT_FOLLOWLOCATION, 1L);
  SetOption(CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirects));
  SetOption(CURLOPT_CONNECTTIMEOUT_MS, TimeoutMilliseconds(options_.connect_timeout));
  SetOption(CURLOPT_TIMEOUT_MS, TimeoutMilliseconds(options_.total_timeout));
  SetOption(CURLOPT_USERAGENT, kUserAgent);
  // Certificate and host name are checked; these are libcurl's defaults, stated so that nobody
  // mistakes their absence for an oversight.
  SetOption(CURLOPT_SSL_VERIFYPEER, 1L);
  SetOption(CURLOPT_SSL_VERIFYHOST, 2L);
  if (!options_.ca_file.empty()) SetOption(CURLOPT_CAINFO, options_.ca_file.c_str());
  // With another TLS library, or one that takes no context callback (CURLE_NOT_BUILT_IN),
  // certificates are checked with their dates: a wrong clock then refuses more, never less.
  if (CurlUsesOurOpenSsl()) {
    curl_easy_setopt(easy_.get(), CURLOPT_SSL_CTX_FUNCTION, &IgnoreCertificateDates);
  }
  // Proxies: CURLOPT_PROXY and CURLOPT_NOPROXY stay unset, so libcurl takes http_proxy,
  // https_proxy, ALL_PROXY and no_proxy from the environment for every transfer.
  // A proxy's answer to CONNECT is not the server's response; keep it out of the headers.
  SetOption(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

  SetOption(CURLOPT_HEADERFUNCTION, &CurlTransfer::OnHeaderLine);
  SetOption(CURLOPT_HEADERDATA, static_cast<void*>(this));
  SetOption(CURLOPT_WRITEFUNCTION, &CurlTransfer::OnBodyData);
  SetOption(CURLOPT_WRITEDATA, static_cast<void*>(this));
  if (options_.on_sending) {
    SetOption(CURLOPT_PREREQFUNCTION, &CurlTransfer::OnSending);
    SetOption(CURLOPT_PREREQDATA, static_cast<void*>(this));
  }

  // libcurl's own rules after a redirect (CURLOPT_POSTREDIR unset): a 301, 302 or 303 turns a
  // POST into a GET, a 307 or 308 keeps it; the WinHTTP transfer follows the same rules.
  if (method == HttpMethod::kGet) {
    SetOption(CURLOPT_HTTPGET, 1L);
  } else if (method == HttpMethod::kHead) {
    SetOption(CURLOPT_NOBODY, 1L);
  } else {
    // An empty body that libcurl sends with Content-Length: 0. It would add a form Content-Type
    // of its own (and Expect for larger bodies): the request carries no body, so neither.
    static constexpr char kEmptyBody[] = "";
    SetOption(CURLOPT_POSTFIELDSIZE, 0L);
    SetOption(CURLOPT_POSTFIELDS, kEmptyBody);
    request_headers_.Append("Content-Type:");
    request_headers_.Append("Expect:");
    SetOption(CURLOPT_HTTPHEADER, static_cast<void*>(request_headers_.get()));
  }
}

ResponseRoute CurlTransfer::FinalRoute() const {
  char* effective_url = nullptr;
  SchemeAndHost final_hop;
  if (curl_easy_getinfo(easy_.get(), CURLINFO_EFFECTIVE_URL, &effective_url) == CURLE_OK) {
    final_hop = SchemeAndHostOf(effective_url);
  }
  ResponseRoute route;
  route.host = final_hop.host.empty() ? host_ : final_hop.host;
  const std::optional<std::string> proxy =
      EnvironmentProxyFor(final_hop.scheme, route.host, &ProcessEnvironment);
  if (proxy && !proxy->empty()) {
    ProxyName name = NameProxy(*proxy);
    route.proxy = std::move(name.address);
    route.proxy_logon = name.has_credentials;
  }
  return route;
}

ResponseRoute CurlTransfer::Perform(ResponseHeaders& headers) {
  headers_ = &headers;
  const CURLcode code = curl_easy_perform(easy_.get());
  ResponseRoute route = FinalRoute();
  // The callbacks stop the transfer on purpose once the final response's headers are in.
  if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && headers.complete())) return route;

  // A proxy that refused the tunnel for https answered with a status of its own.
  long tunnel_status = 0;
  if (curl_easy_getinfo(easy_.get(), CURLINFO_HTTP_CONNECTCODE, &tunnel_status) == CURLE_OK &&
      tunnel_status != 0) {
    CheckProxyAnswer(static_cast<int>(tunnel_status), route.proxy, route.host, route.proxy_logon);
  }
  const std::string_view curl_text(curl_error_text_.c_str());
  throw CurlTransferError(code, route.host, curl_text,
                          route.host == host_ ? std::string_view() : host_);
}

std::size_t CurlTransfer::OnHeaderLine(char* data, std::size_t size, std::size_t count,
                                       void* self) {
  const std::size_t length = size * count;
  return static_cast<CurlTransfer*>(self)->headers_->TakeLine(std::string_view(data, length))
             ? length
             : 0;
}

int CurlTransfer::OnSending(void* self, char*, char*, int, int) {
  // Nothing may escape into libcurl.
  try {
    static_cast<CurlTransfer*>(self)->options_.on_sending();
  } catch (...) {
  }
  return CURL_PREREQFUNC_OK;
}

std::size_t CurlTransfer::OnBodyData(char*, std::size_t, std::size_t, void* self) {
  // libcurl skips the bodies of the redirects it follows, so this is the final response's body,
  // and its headers are complete. Returning 0 ends the transfer; Perform treats that as success.
  static_cast<CurlTransfer*>(self)->headers_->MarkComplete();
  return 0;
}

}  // namespace

std::unique_ptr<HttpTransfer> MakeHttpTransfer(const HttpRequestOptions& options) {
  return std::make_unique<CurlTransfer>(options);
}

}  // namespace horalux
