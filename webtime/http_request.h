// The HTTP request component: open a request, send it with no body, read a header of the response.
// http and https only, TLS verified against the system's certificates, the system's proxies,
// redirects followed, and the response body never read. One source per platform does the
// transfer, chosen by the build.
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace horalux {

// Time-outs always apply: one of zero or less counts as one millisecond.
struct HttpRequestOptions {
  // How long to wait for a connection (name resolution and TLS handshake included).
  std::chrono::milliseconds connect_timeout = std::chrono::seconds(15);
  // How long the whole exchange may take, redirects included.
  std::chrono::milliseconds total_timeout = std::chrono::seconds(30);
  // Empty: trust the system's certificate store. Otherwise a PEM file that replaces it, so that
  // tests can trust a certificate of their own.
  std::string ca_file;
  // The proxy every request goes through ("http://proxy.example:8080"), instead of the system's
  // (--proxy); empty: the system's, as always.
  std::string proxy = {};
  // Called on the thread that carries the exchange each time a request is about to go out on its
  // connection (name resolved, connection and TLS up; once per redirect hop). Windows lets no
  // thread begin while another loads a DLL, and resolving a name may take one: the program's
  // start waits for this before it loads the window system.
  std::function<void()> on_sending = nullptr;
};

// One request. Use it once: Open, Send, then read headers; create a new one for the next request.
// Every failure raises horalux::Error (kinds kInvalidUrl, kNetwork, kTimeout, kTls, kSystem) with
// a message that names the host.
class HttpRequest {
 public:
  explicit HttpRequest(HttpRequestOptions options = {});
  HttpRequest(const HttpRequest&) = delete;
  HttpRequest& operator=(const HttpRequest&) = delete;
  ~HttpRequest();

  // Prepares a request. `method` is GET, HEAD or POST (any case); `asynchronous` must be false:
  // Send blocks until the response's headers are in. A URL that is not a well-formed http or
  // https URL raises ErrorKind::kInvalidUrl naming it. Misuse (another method, asynchronous,
  // opening twice) raises std::logic_error.
  void Open(std::string_view method, std::string_view url, bool asynchronous);

  // Sends the request with an empty body (a POST carries Content-Length: 0 and no Content-Type),
  // follows up to kMaxRedirects (redirect.h) redirects to http or https URLs, and returns once the
  // headers of the final response are in; the body is not read. The status does not matter (a 404
  // or a 500 is a response like any other) unless the answer is a proxy's own, which carries no
  // time of the site's: a 407, or through a proxy a 502, 503 or 504, raises ErrorKind::kNetwork
  // naming the proxy (proxy_answer.h). Calling it before Open, or twice, raises std::logic_error.
  void Send();

  // The value of the final response's header `name`, matched without regard to case, its bytes
  // taken as ISO-8859-1 characters and returned as UTF-8, surrounding blanks removed. Repeated
  // headers are joined with ", ". A missing header, or no response yet, gives an empty text.
  std::string GetResponseHeader(std::string_view name) const;

 private:
  // The platform's transfer and what it gathered; defined by the platform's source.
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace horalux
