// The HTTP request component's transfer on libcurl.
#include "webtime/http_transfer.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "runtime/base/error.h"
#include "webtime/curl_error.h"
#include "webtime/curl_handle.h"
#include "webtime/curl_options.h"
#include "webtime/curl_proxy.h"
#include "webtime/curl_url.h"
#include "webtime/environment_proxy.h"
#include "webtime/proxy_answer.h"
#include "webtime/proxy_route.h"
#include "webtime/redirect.h"
#include "webtime/response_headers.h"

namespace horalux {
namespace {

class CurlTransfer final : public HttpTransfer {
 public:
  explicit CurlTransfer(const HttpRequestOptions& options) : options_(options) {}

  void Prepare(HttpMethod method, std::string_view url) override;
  ResponseRoute Perform(ResponseHeaders& headers) override;

 private:
  // The final hop's host, and the proxy it went through on `way`.
  ResponseRoute FinalRoute(const ProxyWay& way, const std::string& bypass_list) const;

  static std::size_t OnHeaderLine(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t OnBodyData(char* data, std::size_t size, std::size_t count, void* self);
  static int OnSending(void* self, char* peer_address, char* local_address, int peer_port,
                       int local_port);

  template <typename Value>
  void SetOption(CURLoption option, Value value) {
    SetCurlOption(easy_.get(), option, value);
  }

  const HttpRequestOptions options_;
  std::string url_;
  std::string host_;
  CurlEasy easy_;
  CurlHeaderList request_headers_;
  std::string curl_error_text_;
  // Where the callbacks put what they gather: in the end, the final response's headers.
  ResponseHeaders* headers_ = nullptr;
};

void CurlTransfer::Prepare(HttpMethod method, std::string_view url) {
  host_ = CheckedHost(url);
  url_ = url;
  easy_ = MakeCurlEasy();
  curl_error_text_.assign(CURL_ERROR_SIZE, '\0');

  ApplyCommonCurlOptions(easy_.get(), options_, curl_error_text_.data());
  SetOption(CURLOPT_URL, std::string(url).c_str());
  SetOption(CURLOPT_FOLLOWLOCATION, 1L);
  SetOption(CURLOPT_MAXREDIRS, static_cast<long>(kMaxRedirects));
  // Proxies: Perform gives each way of proxy_route.h in turn.

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
    ApplyEmptyPost(easy_.get(), request_headers_);
  }
}

ResponseRoute CurlTransfer::FinalRoute(const ProxyWay& way, const std::string& bypass_list) const {
  char* effective_url = nullptr;
  std::string host;
  if (curl_easy_getinfo(easy_.get(), CURLINFO_EFFECTIVE_URL, &effective_url) == CURLE_OK) {
    host = HostOfUrlText(effective_url);
  }
  if (host.empty()) host = host_;
  // libcurl takes a redirect to a host on the bypass list directly.
  const bool bypassed = BypassesProxy(bypass_list, host);
  return {host, bypassed ? std::string() : way.name, way.logon && !bypassed};
}

ResponseRoute CurlTransfer::Perform(ResponseHeaders& headers) {
  headers_ = &headers;
  const auto start = std::chrono::steady_clock::now();
  const auto total = std::max(options_.total_timeout, std::chrono::milliseconds(1));
  const std::string scheme = url_.substr(0, url_.find(':'));
  const std::vector<ProxyWay> ways =
      ProxyWaysFor(url_, scheme, host_, options_, std::min(options_.connect_timeout, total));
  // The command line's proxy serves every host; otherwise no_proxy holds after a redirect too.
  const std::string bypass_list = options_.proxy.empty() ? EnvironmentBypassList() : std::string();

  std::optional<Error> first_failure;
  for (std::size_t i = 0; i < ways.size(); ++i) {
    const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start);
    SetOption(CURLOPT_TIMEOUT_MS, static_cast<long>(std::max<std::chrono::milliseconds::rep>(
                                      (total - spent).count(), 1)));
    ApplyProxyWay(easy_.get(), ways[i], bypass_list);
    headers.Clear();
    const CURLcode code = curl_easy_perform(easy_.get());
    const ResponseRoute route = FinalRoute(ways[i], bypass_list);
    // The callbacks stop the transfer on purpose once the final response's headers are in.
    if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && headers.complete())) return route;

    // A proxy that refused the tunnel for https answered with a status of its own.
    long tunnel_status = 0;
    if (curl_easy_getinfo(easy_.get(), CURLINFO_HTTP_CONNECTCODE, &tunnel_status) == CURLE_OK &&
        tunnel_status != 0) {
      CheckProxyAnswer(static_cast<int>(tunnel_status), route.proxy, route.host, route.proxy_logon);
    }
    // A logon the proxy refused, ending the transfer with libcurl's own error.
    if (headers.status() == 407) CheckProxyAnswer(407, route.proxy, route.host, route.proxy_logon);
    Error failure =
        CurlTransferError(code, route.host, curl_error_text_.c_str(),
                          route.host == host_ ? std::string_view() : host_, route.proxy);
    // The first way is the one the settings prefer; its failure is the one to report.
    if (!first_failure) first_failure = std::move(failure);
    if (!FailedBeforeSending(code) || std::chrono::steady_clock::now() - start >= total) break;
  }
  throw *first_failure;
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
