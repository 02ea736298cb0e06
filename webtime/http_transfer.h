// Inside the HTTP request component: the transfer that each platform provides beneath the portable
// HttpRequest (http_request.cpp), which keeps the order of the calls, the stages and the method.
// One source per platform defines MakeHttpTransfer: libcurl on Linux, WinHTTP on Windows.
#pragma once

#include <memory>
#include <string_view>

#include "webtime/http_request.h"
#include "webtime/response_headers.h"

namespace horalux {

class HttpTransfer {
 public:
  virtual ~HttpTransfer() = default;

  // Checks `url` and keeps what the exchange needs. Refuses every URL but a well-formed absolute
  // http or https one with ErrorKind::kInvalidUrl naming it.
  virtual void Prepare(HttpMethod method, std::string_view url) = 0;

  // The whole exchange, redirects included, with an empty body. Feeds the final response's
  // header lines into `headers` and marks them complete; raises horalux::Error otherwise.
  virtual void Perform(ResponseHeaders& headers) = 0;
};

std::unique_ptr<HttpTransfer> MakeHttpTransfer(const HttpRequestOptions& options);

}  // namespace horalux
