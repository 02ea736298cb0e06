#include "webtime/winhttp_error.h"

#include <winhttp.h>

#include <string>

#include "runtime/base/windows_text.h"
#include "webtime/redirect.h"
#include "webtime/request_failure.h"

namespace horalux {
namespace {

RequestFailure Cause(const WinHttpFailure& failure) {
  switch (failure.code) {
    case ERROR_WINHTTP_TIMEOUT:
    case ERROR_WINHTTP_OPERATION_CANCELLED:  // closed at our own deadline
    case WSAETIMEDOUT:  // Wine passes a socket's receive time-out on as Winsock's code
      return RequestFailure::kTimedOut;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED:
      return RequestFailure::kHostNotResolved;
    case ERROR_WINHTTP_CANNOT_CONNECT:
      return RequestFailure::kCannotConnect;
    case ERROR_WINHTTP_CONNECTION_ERROR:
    case WSAECONNRESET:  // Wine passes Winsock's codes on
    case WSAECONNABORTED:
      return RequestFailure::kReceiveFailed;
    case ERROR_WINHTTP_INVALID_SERVER_RESPONSE:
      // WinHTTP says the same whether the server closed without a byte or sent no HTTP.
      return RequestFailure::kNoHttpReply;
    case ERROR_WINHTTP_INVALID_HEADER:
    case ERROR_WINHTTP_HTTP_PROTOCOL_MISMATCH:
      return RequestFailure::kNotHttp;
    case ERROR_WINHTTP_HEADER_COUNT_EXCEEDED:
    case ERROR_WINHTTP_HEADER_SIZE_OVERFLOW:
    case ERROR_WINHTTP_CHUNKED_ENCODING_HEADER_SIZE_OVERFLOW:
    case ERROR_WINHTTP_RESPONSE_DRAIN_OVERFLOW:
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return RequestFailure::kHeadersTooLarge;
    case ERROR_WINHTTP_REDIRECT_FAILED:
      // The limit reached, or a Location that is not an http or https URL.
      return failure.redirects >= kMaxRedirects ? RequestFailure::kTooManyRedirects
                                                : RequestFailure::kUnusableReply;
    case ERROR_WINHTTP_UNRECOGNIZED_SCHEME:
    case ERROR_WINHTTP_INVALID_URL:
      // Only a redirect's Location can get here: Open checked the URL it was given.
      return RequestFailure::kUnusableReply;
    case ERROR_WINHTTP_AUTO_PROXY_SERVICE_ERROR:
    case ERROR_WINHTTP_BAD_AUTO_PROXY_SCRIPT:
    case ERROR_WINHTTP_UNABLE_TO_DOWNLOAD_SCRIPT:
    case ERROR_WINHTTP_UNHANDLED_SCRIPT_TYPE:
    case ERROR_WINHTTP_SCRIPT_EXECUTION_ERROR:
    case ERROR_WINHTTP_AUTODETECTION_FAILED:
    case ERROR_WINHTTP_SECURE_FAILURE_PROXY:
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED_PROXY:
      return RequestFailure::kProxyFailed;
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
      return RequestFailure::kCertificateRefused;
    case ERROR_WINHTTP_SECURE_FAILURE:
      // Windows reports every certificate fault with this one code, and says which in the
      // secure-failure notice.
      return (failure.secure_failure_flags &
              ~WINHTTP_CALLBACK_STATUS_FLAG_SECURITY_CHANNEL_ERROR) != 0
                 ? RequestFailure::kCertificateRefused
                 : RequestFailure::kSecureChannelFailed;
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
      return RequestFailure::kSecureChannelFailed;
    default:
      return RequestFailure::kOther;
  }
}

RequestFailure Translate(const WinHttpFailure& failure) {
  const RequestFailure cause = Cause(failure);
  // A handshake that failed where only older protocols were on is most likely a server that
  // wants TLS 1.2.
  if (cause == RequestFailure::kSecureChannelFailed && failure.tls12_unavailable) {
    return RequestFailure::kTls12Unavailable;
  }
  return cause;
}

// WinHTTP's own text for `code` and the code. Its codes have their texts in winhttp.dll; the
// system's table has the rest.
std::string WinHttpNote(DWORD code) {
  const bool own_code = code >= WINHTTP_ERROR_BASE && code <= WINHTTP_ERROR_BASE + 999;
  return "WinHTTP：" +
         WindowsErrorNote(code, own_code ? ::GetModuleHandleW(L"winhttp.dll") : nullptr);
}

}  // namespace

Error WinHttpTransferError(const WinHttpFailure& failure) {
  return RequestError(Translate(failure), failure.host, failure.first_host,
                      WinHttpNote(failure.code));
}

Error WinHttpSetupError(DWORD code, std::string_view what) {
  std::string message(what);
  message += "。（";
  message += WinHttpNote(code);
  message += "）";
  return Error(ErrorKind::kSystem, message);
}

Error WinHttpUrlError(std::string_view url, bool other_scheme, DWORD code) {
  return InvalidUrlError(url, other_scheme, code != 0 ? WinHttpNote(code) : std::string());
}

}  // namespace horalux
