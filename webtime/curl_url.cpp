#include "webtime/curl_url.h"

#include <curl/curl.h>

#include "webtime/curl_error.h"
#include "webtime/curl_handle.h"

namespace horalux {
namespace {

std::string HostOf(CURLU* url) {
  char* host = nullptr;
  if (curl_url_get(url, CURLUPART_HOST, &host, 0) != CURLUE_OK || host == nullptr) return {};
  std::string result(host);
  curl_free(host);
  return result;
}

}  // namespace

std::string HostOfUrlText(const char* url_text) { return SchemeAndHostOf(url_text).host; }

SchemeAndHost SchemeAndHostOf(const char* url_text) {
  if (url_text == nullptr) return {};
  CurlUrl url = MakeCurlUrl();
  if (curl_url_set(url.get(), CURLUPART_URL, url_text, 0) != CURLUE_OK) return {};
  SchemeAndHost parts{{}, HostOf(url.get())};
  char* scheme = nullptr;
  if (curl_url_get(url.get(), CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK && scheme != nullptr) {
    parts.scheme = scheme;
    curl_free(scheme);
  }
  return parts;
}

std::string CheckedHost(std::string_view url_text) {
  auto refuse = [&](CURLUcode code) { return CurlUrlError(code, url_text); };
  // libcurl takes C strings: a NUL inside the text would silently cut the URL short.
  if (url_text.find('\0') != std::string_view::npos) throw refuse(CURLUE_MALFORMED_INPUT);
  const std::string terminated(url_text);
  CurlUrl url = MakeCurlUrl();
  // No CURLU_GUESS_SCHEME: a URL without a scheme is refused rather than taken as http.
  if (const CURLUcode code = curl_url_set(url.get(), CURLUPART_URL, terminated.c_str(), 0);
      code != CURLUE_OK) {
    throw refuse(code);
  }
  char* scheme = nullptr;
  if (const CURLUcode code = curl_url_get(url.get(), CURLUPART_SCHEME, &scheme, 0);
      code != CURLUE_OK) {
    throw refuse(code);
  }
  const bool web_scheme = std::string_view(scheme) == "http" || std::string_view(scheme) == "https";
  curl_free(scheme);
  if (!web_scheme) throw refuse(CURLUE_UNSUPPORTED_SCHEME);
  return HostOf(url.get());
}

}  // namespace horalux
