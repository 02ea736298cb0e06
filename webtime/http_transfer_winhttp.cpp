// The HTTP request component's transfer on WinHTTP.
//
// WinHTTP's time-outs each bound one step (resolving, connecting, sending, one read), so a server
// that trickles its headers a byte at a time never runs into them. The exchange therefore runs on
// a thread of its own, and Perform waits for it only until the overall deadline; then it abandons
// the exchange, which makes Windows end the pending call, and reports the time-out without
// waiting further.
#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "runtime/base/error.h"
#include "runtime/base/system_text.h"
#include "webtime/response_headers.h"
#include "webtime/winhttp_error.h"
#include "webtime/winhttp_exchange.h"
#include "webtime/winhttp_transfer.h"
#include "webtime/winhttp_url.h"

namespace horalux {
namespace {

// One exchange and its outcome, shared by Perform and the thread that runs it; the last of them
// to let go frees it.
struct SharedExchange {
  SharedExchange(WebUrl url, HttpMethod method, HttpRequestOptions options,
                 WinHttpProxySource proxies)
      : exchange(std::move(url), method, std::move(options), std::move(proxies)) {}

  // On the exchange's own thread.
  void Run() noexcept {
    std::optional<Error> failure;
    std::string bytes;
    try {
      bytes = exchange.Run();
    } catch (const Error& error) {
      failure = error;
    } catch (...) {
      failure =
          Error(ErrorKind::kSystem, "HTTP 请求意外失败，主机 " + Quoted(exchange.current_host()));
    }
    std::lock_guard lock(mutex);
    error = std::move(failure);
    header_bytes = std::move(bytes);
    ended_flag = true;
    ended.notify_all();
  }

  // Waits until the exchange has ended or `deadline` has come; true when it has ended.
  bool WaitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(mutex);
    return ended.wait_until(lock, deadline, [this] { return ended_flag; });
  }

  WinHttpExchange exchange;
  std::mutex mutex;  // guards everything below
  std::condition_variable ended;
  bool ended_flag = false;
  std::optional<Error> error;
  std::string header_bytes;
};

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
  auto shared = std::make_shared<SharedExchange>(url_, method_, options_, proxies_);
  try {
    std::thread([shared] { shared->Run(); }).detach();
  } catch (const std::system_error& failure) {
    throw Error(ErrorKind::kSystem,
                "无法启动 HTTP 请求的线程（" + SystemTextToUtf8(failure.what()) + "）");
  }
  if (!shared->WaitUntil(deadline)) {
    shared->exchange.Abandon();
    const std::string host = shared->exchange.current_host();
    throw WinHttpTransferError(
        {ERROR_WINHTTP_TIMEOUT, 0, 0, false, host, host == url_.host_text ? "" : url_.host_text});
  }
  if (shared->error) throw *shared->error;

  const std::string& bytes = shared->header_bytes;
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t end = std::min(bytes.find('\n', start), bytes.size() - 1) + 1;
    headers.TakeLine(std::string_view(bytes).substr(start, end - start));
    start = end;
  }
  headers.MarkComplete();
  return {shared->exchange.current_host(), shared->exchange.final_proxy(),
          shared->exchange.proxy_logon()};
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
