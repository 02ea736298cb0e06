// The ways an HTTP request fails, as the user reads them whatever library did the transfer: each
// with its error kind and a Chinese message naming the cause, the host and what to do. Each
// platform's source maps its library's codes onto these (curl_error.cpp, winhttp_error.cpp).
#pragma once

#include <string_view>

#include "runtime/base/error.h"

namespace horalux {

enum class RequestFailure {
  kUnusableReply,        // not HTTP at all, or a redirect to a scheme other than http and https
  kMalformedUrl,         // a URL the library refused during the transfer
  kProxyNotResolved,     // the proxy's name did not resolve
  kProxyFailed,          // the proxy refused the request or could not be used
  kHostNotResolved,      // the server's name did not resolve
  kCannotConnect,        // refused or unreachable
  kTimedOut,             // the time-out ended the wait
  kTooManyRedirects,     // more than 10
  kSendFailed,           // the connection broke while the request went out
  kReceiveFailed,        // the connection broke while the response came in
  kNothingReceived,      // closed without a byte of response
  kNoHttpReply,          // closed without a byte, or not HTTP: where the library cannot tell
  kNotHttp,              // a response that breaks the protocol
  kHeadersTooLarge,      // response headers beyond what the library takes
  kSecureChannelFailed,  // the TLS handshake failed
  kTls12Unavailable,     // the handshake failed where Windows would not enable TLS 1.2
  kCertificateRefused,   // the server's certificate did not pass
  kOther,
};

// `failure` of an exchange with `host`, reached by redirection from `first_host` unless that is
// empty, through `proxy` ("proxy.example:8080") unless that is empty. `library_note` names the
// library and its own text and code ("libcurl：…，代码 28"); it ends the message in brackets.
Error RequestError(RequestFailure failure, std::string_view host, std::string_view first_host,
                   std::string_view library_note, std::string_view proxy = {});

// A URL refused before any transfer: not http or https when `other_scheme`, else not a
// well-formed URL. Control characters in it are shown as \xNN. `library_note` as above, or empty.
Error InvalidUrlError(std::string_view url, bool other_scheme, std::string_view library_note);

}  // namespace horalux
