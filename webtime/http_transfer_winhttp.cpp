// The HTTP request component's transfer on WinHTTP.
//
// WinHTTP's time-outs each bound one step (resolving, connecting, sending, one read), so a server
// that trickles its headers a byte at a time never runs into them. The exchange therefore runs as
// a background call, and Perform waits for it only until the overall deadline; then it cancels
// the exchange, which makes Windows end the pending call, and reports the time-out without
// waiting further.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <memory>
#include <string>

#include "runtime/background/background_call.h"
#include "runtime/base/error.h"
#include "webtime/response_headers.h"
#include "webtime/winhttp_error.h"
#include "webtime/winhttp_exchange.h"
#include "webtime/winhttp_transfer.h"
#include "webtime/winhttp_url.h"

namespace horalux {
namespace {

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
  auto exchange = std::make_shared<WinHttpExchange>(url_, method_, options_, proxies_);
  BackgroundCall<std::string> call([exchange](const CallProgress&) { return exchange->Run(); },
                                   [exchange] { exchange->Abandon(); });
  if (!call.WaitUntil(CallStage::kEnded, deadline)) {
    call.Cancel();
    const std::string host = exchange->current_host();
    throw WinHttpTransferError(
        {ERROR_WINHTTP_TIMEOUT, 0, 0, false, host, host == url_.host_text ? "" : url_.host_text});
  }
  const std::string bytes = call.Take();
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t end = std::min(bytes.find('\n', start), bytes.size() - 1) + 1;
    headers.TakeLine(std::string_view(bytes).substr(start, end - start));
    start = end;
  }
  headers.MarkComplete();
  // Read once the exchange has ended: nothing writes them any more.
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
