#include "webtime/curl_error.h"

#include <string>

#include "runtime/base/text.h"
#include "webtime/request_failure.h"

namespace horalux {
namespace {

RequestFailure Translate(CURLcode code) {
  switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
      // Both a redirect to another scheme and a reply that is not HTTP at all end up here.
      return RequestFailure::kUnusableReply;
    case CURLE_URL_MALFORMAT:
      return RequestFailure::kMalformedUrl;
    case CURLE_COULDNT_RESOLVE_PROXY:
      return RequestFailure::kProxyNotResolved;
    case CURLE_COULDNT_RESOLVE_HOST:
      return RequestFailure::kHostNotResolved;
    case CURLE_COULDNT_CONNECT:
      return RequestFailure::kCannotConnect;
    case CURLE_OPERATION_TIMEDOUT:
      return RequestFailure::kTimedOut;
    case CURLE_TOO_MANY_REDIRECTS:
      return RequestFailure::kTooManyRedirects;
    case CURLE_SEND_ERROR:
      return RequestFailure::kSendFailed;
    case CURLE_RECV_ERROR:
      // Also what libcurl reports for response headers beyond its limit.
      return RequestFailure::kReceiveFailed;
    case CURLE_GOT_NOTHING:
      return RequestFailure::kNothingReceived;
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP3:
    case CURLE_QUIC_CONNECT_ERROR:
      return RequestFailure::kNotHttp;
    case CURLE_PROXY:
      return RequestFailure::kProxyFailed;
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_ENGINE_NOTFOUND:
    case CURLE_SSL_ENGINE_SETFAILED:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_USE_SSL_FAILED:
    case CURLE_SSL_ENGINE_INITFAILED:
    case CURLE_SSL_CACERT_BADFILE:
    case CURLE_SSL_SHUTDOWN_FAILED:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
    case CURLE_SSL_INVALIDCERTSTATUS:
    case CURLE_SSL_CLIENTCERT:
      return RequestFailure::kSecureChannelFailed;
    case CURLE_PEER_FAILED_VERIFICATION:
      return RequestFailure::kCertificateRefused;
    case CURLE_OUT_OF_MEMORY:
      // During a transfer this is nearly always a single header line beyond libcurl's limit.
      return RequestFailure::kHeadersTooLarge;
    default:
      return RequestFailure::kOther;
  }
}

// libcurl's own text (the error buffer, or the code's generic text when that is empty) and the
// code.
std::string LibcurlNote(std::string_view curl_text, CURLcode code) {
  // The error buffer ends with a newline for some failures; the message is one line.
  while (!curl_text.empty() && (curl_text.back() == '\n' || curl_text.back() == '\r')) {
    curl_text.remove_suffix(1);
  }
  std::string note = "libcurl：";
  note += curl_text.empty() ? std::string_view(curl_easy_strerror(code)) : curl_text;
  note += "，代码 ";
  note += std::to_string(static_cast<int>(code));
  return note;
}

}  // namespace

Error CurlTransferError(CURLcode code, std::string_view host, std::string_view curl_text,
                        std::string_view first_host, std::string_view proxy) {
  return RequestError(Translate(code), host, first_host, LibcurlNote(curl_text, code), proxy);
}

Error CurlSetupError(CURLcode code, std::string_view what) {
  std::string message(what);
  message += "。（";
  message += LibcurlNote({}, code);
  message += "）";
  return Error(ErrorKind::kSystem, message);
}

Error CurlUrlError(CURLUcode code, std::string_view url) {
  const std::string note = std::string("libcurl：") + curl_url_strerror(code);
  if (code == CURLUE_OUT_OF_MEMORY) {
    return Error(ErrorKind::kSystem, "内存不足，无法检查网址 " + Quoted(EscapeControlBytes(url)) +
                                         "。（" + note + "）");
  }
  return InvalidUrlError(url, code == CURLUE_UNSUPPORTED_SCHEME, note);
}

}  // namespace horalux
