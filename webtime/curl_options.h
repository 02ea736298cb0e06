// What every libcurl transfer of the program sets alike, in one place: the protocols, the
// time-outs, the User-Agent, TLS (certificates checked but not their dates), and the empty POST.
#pragma once

#include <curl/curl.h>

#include <string>
#include <string_view>
#include <type_traits>

#include "webtime/curl_error.h"
#include "webtime/curl_handle.h"
#include "webtime/http_request.h"

namespace horalux {

// `value` is one of the types curl_easy_setopt takes: long, a C string, a pointer or a callback.
// Raises ErrorKind::kSystem when libcurl refuses it.
template <typename Value>
void SetCurlOption(CURL* easy, CURLoption option, Value value) {
  // curl_easy_setopt is variadic and reads numbers as long: an int would be read wrongly.
  static_assert(!std::is_integral_v<Value> || std::is_same_v<Value, long>);
  if (const CURLcode code = curl_easy_setopt(easy, option, value); code != CURLE_OK) {
    throw CurlSetupError(code, "libcurl 不接受 HTTP 请求的设置");
  }
}

// The settings every request of the program shares: `error_buffer` (CURL_ERROR_SIZE bytes) takes
// libcurl's words for a failure; only http and https, to the URL and after redirects; no signals;
// the time-outs and the CA file of `options` (the proxy is each transfer's, curl_proxy.h); the
// User-Agent; TLS checked as the program checks it. Redirects are left to the caller.
void ApplyCommonCurlOptions(CURL* easy, const HttpRequestOptions& options, char* error_buffer);

// A POST with an empty body and no header of libcurl's own (Content-Type, Expect); `headers` must
// outlive the transfer.
void ApplyEmptyPost(CURL* easy, CurlHeaderList& headers);

}  // namespace horalux
