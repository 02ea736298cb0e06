// The HTTP request component's contract, the same on every platform, over the platform's transfer.
#include "webtime/http_request.h"

#include <stdexcept>

#include "webtime/http_transfer.h"
#include "webtime/proxy_answer.h"
#include "webtime/response_headers.h"

namespace horalux {

struct HttpRequest::Impl {
  enum class Stage { kNew, kOpened, kSent };

  HttpRequestOptions options;
  Stage stage = Stage::kNew;
  std::unique_ptr<HttpTransfer> transfer;
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
  const HttpMethod verb = ParseHttpMethod(method);
  std::unique_ptr<HttpTransfer> transfer = MakeHttpTransfer(r.options);
  transfer->Prepare(verb, url);
  r.transfer = std::move(transfer);
  r.stage = Impl::Stage::kOpened;
}

void HttpRequest::Send() {
  Impl& r = *impl_;
  if (r.stage != Impl::Stage::kOpened)
    throw std::logic_error("HttpRequest::Send needs one Open before it");
  r.stage = Impl::Stage::kSent;
  // The transfer's resources go as soon as the exchange ends, whichever way it ends.
  const std::unique_ptr<HttpTransfer> transfer = std::move(r.transfer);
  try {
    const ResponseRoute route = transfer->Perform(r.headers);
    CheckProxyAnswer(r.headers.status(), route.proxy, route.host, route.proxy_logon);
  } catch (...) {
    r.headers.Clear();
    throw;
  }
}

std::string HttpRequest::GetResponseHeader(std::string_view name) const {
  return impl_->headers.Value(name);
}

}  // namespace horalux
