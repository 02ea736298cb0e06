// Inside the HTTP request component: the transfer that each platform provides beneath the portable
// HttpRequest (http_request.cpp), which keeps the order of the calls, the stages and the method.
// One source per platform defines MakeHttpTransfer: libcurl on Linux, WinHTTP on Windows.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "webtime/http_request.h"
#include "webtime/response_headers.h"

namespace horalux {

// How the final response came: for which host, and through which proxy.
struct ResponseRoute {
  std::string host;          // the final URL's host, after any redirects
  std::string proxy;         // "proxy.example:8080"; empty when it came directly
  bool proxy_logon = false;  // credentials were given to that proxy
};

class HttpTransfer {
 public:
  virtual ~HttpTransfer() = default;

  // Checks `url` and keeps what the exchange needs. Refuses every URL but a well-formed absolute
  // http or https one with ErrorKind::kInvalidUrl naming it.
  virtual void Prepare(HttpMethod method, std::string_view url) = 0;

  // The whole exchange, redirects included, with an empty body. Feeds the final response's
  // header lines into `headers`, marks them complete and says how the response came; raises
  // horalux::Error otherwise.
  virtual ResponseRoute Perform(ResponseHeaders& headers) = 0;
};

std::unique_ptr<HttpTransfer> MakeHttpTransfer(const HttpRequestOptions& options);

}  // namespace horalux
