// The timed exchange on libcurl: one easy handle for every Send, so that libcurl keeps the
// connection (and its TLS session) open between them, and times from libcurl's own clock of the
// transfer, laid on one reading of the wall clock taken as the transfer starts.
#include <algorithm>
#include <string>
#include <utility>
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
#include "webtime/timed_exchange.h"

namespace horalux {
namespace {

using std::chrono::microseconds;

// A body is read to keep the connection, but only this far: a longer one costs the connection
// (libcurl drops it, and the next Send opens another) rather than the time it takes to read.
constexpr std::size_t kLongestBodyRead = 64 * 1024;

class CurlTimedExchange final : public TimedExchange {
 public:
  CurlTimedExchange(std::string_view url, const HttpRequestOptions& options, const WallClock& clock)
      : options_(options), clock_(clock), url_(url), first_host_(CheckedHost(url)) {}

  TimedAnswer Send() override;

 private:
  // Prepares the handle on the first Send, and its method, URL and proxy on every one.
  void Aim(HttpMethod method);
  // The proxy of the way in use for `host`; empty when it goes directly.
  std::string ProxyNameFor(const std::string& host) const;
  microseconds TransferTime(CURLINFO info) const;
  template <typename Value>
  Value Info(CURLINFO info) const {
    Value value{};
    curl_easy_getinfo(easy_.get(), info, &value);
    return value;
  }
  [[noreturn]] void Fail(CURLcode code, const std::string& host) const;
  // After a failure with `code`: whether a further way to url_ is left to try.
  bool TakeNextWay(CURLcode code);

  static std::size_t OnHeaderLine(char* data, std::size_t size, std::size_t count, void* self);
  static std::size_t OnBodyData(char* data, std::size_t size, std::size_t count, void* self);

  const HttpRequestOptions options_;
  const WallClock& clock_;
  // Where Send asks: the URL given, then where its redirects led, so that later Sends go straight
  // to the final hop.
  std::string url_;
  HttpMethod method_ = HttpMethod::kPost;
  const std::string first_host_;
  // The ways to ways_url_ (proxy_route.h), and the one in use: kept while it works.
  std::string ways_url_;
  std::vector<ProxyWay> ways_;
  std::size_t way_ = 0;
  const std::string bypass_list_ = options_.proxy.empty() ? EnvironmentBypassList() : "";
  CurlEasy easy_;
  CurlHeaderList request_headers_;
  std::string curl_error_text_;
  ResponseHeaders headers_;
  std::size_t body_read_ = 0;
};

void CurlTimedExchange::Aim(HttpMethod method) {
  if (!easy_) {
    easy_ = MakeCurlEasy();
    curl_error_text_.assign(CURL_ERROR_SIZE, '\0');
    ApplyCommonCurlOptions(easy_.get(), options_, curl_error_text_.data());
    // Redirects are followed here, hop by hop, so that the times are those of the final hop.
    SetCurlOption(easy_.get(), CURLOPT_FOLLOWLOCATION, 0L);
    SetCurlOption(easy_.get(), CURLOPT_HEADERFUNCTION, &CurlTimedExchange::OnHeaderLine);
    SetCurlOption(easy_.get(), CURLOPT_HEADERDATA, static_cast<void*>(this));
    SetCurlOption(easy_.get(), CURLOPT_WRITEFUNCTION, &CurlTimedExchange::OnBodyData);
    SetCurlOption(easy_.get(), CURLOPT_WRITEDATA, static_cast<void*>(this));
    ApplyEmptyPost(easy_.get(), request_headers_);
  }
  if (method != HttpMethod::kPost) SetCurlOption(easy_.get(), CURLOPT_HTTPGET, 1L);
  SetCurlOption(easy_.get(), CURLOPT_URL, url_.c_str());
  if (ways_url_ != url_) {
    const SchemeAndHost target = SchemeAndHostOf(url_.c_str());
    ways_ = ProxyWaysFor(url_, target.scheme, target.host, options_,
                         std::min(options_.connect_timeout, options_.total_timeout));
    ways_url_ = url_;
    way_ = 0;
  }
  ApplyProxyWay(easy_.get(), ways_[way_], bypass_list_);
}

std::string CurlTimedExchange::ProxyNameFor(const std::string& host) const {
  return BypassesProxy(bypass_list_, host) ? std::string() : ways_[way_].name;
}

bool CurlTimedExchange::TakeNextWay(CURLcode code) {
  if (!FailedBeforeSending(code) || way_ + 1 >= ways_.size()) return false;
  ++way_;
  return true;
}

TimedAnswer CurlTimedExchange::Send() {
  for (int redirects = 0;; ++redirects) {
    Aim(method_);
    headers_.Clear();
    body_read_ = 0;
    curl_error_text_[0] = '\0';
    // libcurl times the stages of a transfer from its start on a monotonic clock; this reading
    // lays them on the wall clock.
    const WallTime start = clock_.Now();
    const CURLcode code = curl_easy_perform(easy_.get());
    const std::string host = HostOfUrlText(url_.c_str());
    const long status = Info<long>(CURLINFO_RESPONSE_CODE);
    // A body cut short on purpose still leaves a complete answer.
    if (code != CURLE_OK && !(code == CURLE_WRITE_ERROR && status != 0)) {
      // Nothing went out on a way that failed so early: the next one is tried for the same hop.
      if (TakeNextWay(code)) {
        --redirects;
        continue;
      }
      Fail(code, host);
    }

    const char* location = Info<char*>(CURLINFO_REDIRECT_URL);
    if (IsRedirectStatus(static_cast<int>(status)) && location != nullptr) {
      if (redirects >= kMaxRedirects) Fail(CURLE_TOO_MANY_REDIRECTS, host);
      const std::string next(location);
      (void)CheckedHost(next);
      method_ = MethodAfterRedirect(method_, static_cast<int>(status));
      url_ = next;
      continue;
    }

    TimedAnswer answer;
    answer.sent = start + TransferTime(CURLINFO_PRETRANSFER_TIME_T);
    answer.received = start + TransferTime(CURLINFO_STARTTRANSFER_TIME_T);
    answer.status = static_cast<int>(status);
    answer.date = headers_.Value("Date");
    answer.age = headers_.Value("Age");
    answer.proxy = ProxyNameFor(host);
    return answer;
  }
}

microseconds CurlTimedExchange::TransferTime(CURLINFO info) const {
  return microseconds(Info<curl_off_t>(info));
}

void CurlTimedExchange::Fail(CURLcode code, const std::string& host) const {
  const std::string& named = host.empty() ? first_host_ : host;
  const std::string proxy = ProxyNameFor(named);
  // A proxy that refused the tunnel for https answered with a status of its own.
  if (const long tunnel_status = Info<long>(CURLINFO_HTTP_CONNECTCODE); tunnel_status != 0) {
    CheckProxyAnswer(static_cast<int>(tunnel_status), proxy, named, ways_[way_].logon);
  }
  // A logon the proxy refused, ending the transfer with libcurl's own error.
  if (headers_.status() == 407) CheckProxyAnswer(407, proxy, named, ways_[way_].logon);
  throw CurlTransferError(code, named, curl_error_text_.c_str(),
                          named == first_host_ ? std::string_view() : first_host_, proxy);
}

std::size_t CurlTimedExchange::OnHeaderLine(char* data, std::size_t size, std::size_t count,
                                            void* self) {
  const std::size_t length = size * count;
  // Whatever the headers say, the transfer goes on to the body, so that the connection stays.
  (void)static_cast<CurlTimedExchange*>(self)->headers_.TakeLine(std::string_view(data, length));
  return length;
}

std::size_t CurlTimedExchange::OnBodyData(char*, std::size_t size, std::size_t count, void* self) {
  auto& exchange = *static_cast<CurlTimedExchange*>(self);
  exchange.body_read_ += size * count;
  return exchange.body_read_ <= kLongestBodyRead ? size * count : 0;
}

}  // namespace

std::unique_ptr<TimedExchange> OpenTimedExchange(std::string_view url,
                                                 const HttpRequestOptions& options,
                                                 const WallClock& clock) {
  return std::make_unique<CurlTimedExchange>(url, options, clock);
}

}  // namespace horalux
