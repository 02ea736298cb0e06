#include "webtime/curl_options.h"

#include <openssl/opensslv.h>
#include <openssl/ssl.h>
#include <openssl/x509_vfy.h>

#include <algorithm>
#include <chrono>
#include <climits>
#include <string>
#include <string_view>

#include "webtime/user_agent.h"

namespace horalux {
namespace {

constexpr const char* kAllowedProtocols = "http,https";

// libcurl reads 0 as "wait for ever"; a time-out always ends the wait, at the latest after the
// longest time libcurl can be given.
long TimeoutMilliseconds(std::chrono::milliseconds timeout) {
  const auto longest = static_cast<std::chrono::milliseconds::rep>(LONG_MAX);
  return static_cast<long>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 1, longest));
}

// People run this program because their clock is wrong, sometimes by years, and then every
// certificate looks expired or not yet valid. The chain, the signatures and the host name are
// still checked; only the certificates' dates are not held against the local clock.
CURLcode IgnoreCertificateDates(CURL*, void* ssl_ctx, void*) {
  X509_VERIFY_PARAM_set_flags(SSL_CTX_get0_param(static_cast<SSL_CTX*>(ssl_ctx)),
                              X509_V_FLAG_NO_CHECK_TIME);
  return CURLE_OK;
}

// Whether libcurl's TLS is the OpenSSL this program is built against, so that the context it
// hands to IgnoreCertificateDates is an SSL_CTX of ours to change.
bool CurlUsesOurOpenSsl() {
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  if (info == nullptr || info->ssl_version == nullptr) return false;
  const std::string ours = "OpenSSL/" + std::to_string(OPENSSL_VERSION_MAJOR) + ".";
  return std::string_view(info->ssl_version).starts_with(ours);
}

}  // namespace

void ApplyCommonCurlOptions(CURL* easy, const HttpRequestOptions& options, char* error_buffer) {
  SetCurlOption(easy, CURLOPT_ERRORBUFFER, error_buffer);
  // No signals: libcurl may otherwise use SIGALRM for name-resolution time-outs, which is unsafe
  // in a program with threads.
  SetCurlOption(easy, CURLOPT_NOSIGNAL, 1L);
  SetCurlOption(easy, CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
  SetCurlOption(easy, CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
  SetCurlOption(easy, CURLOPT_CONNECTTIMEOUT_MS, TimeoutMilliseconds(options.connect_timeout));
  SetCurlOption(easy, CURLOPT_TIMEOUT_MS, TimeoutMilliseconds(options.total_timeout));
  SetCurlOption(easy, CURLOPT_USERAGENT, kUserAgent);
  // Certificate and host name are checked; these are libcurl's defaults, stated so that nobody
  // mistakes their absence for an oversight.
  SetCurlOption(easy, CURLOPT_SSL_VERIFYPEER, 1L);
  SetCurlOption(easy, CURLOPT_SSL_VERIFYHOST, 2L);
  if (!options.ca_file.empty()) SetCurlOption(easy, CURLOPT_CAINFO, options.ca_file.c_str());
  // With another TLS library, or one that takes no context callback (CURLE_NOT_BUILT_IN),
  // certificates are checked with their dates: a wrong clock then refuses more, never less.
  if (CurlUsesOurOpenSsl()) {
    curl_easy_setopt(easy, CURLOPT_SSL_CTX_FUNCTION, &IgnoreCertificateDates);
  }
  // The proxy (the options', the environment's or the desktop's) each transfer gives for each
  // way it tries (curl_proxy.h).
  // A proxy's answer to CONNECT is not the server's response; keep it out of the headers.
  SetCurlOption(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
}

void ApplyEmptyPost(CURL* easy, CurlHeaderList& headers) {
  // An empty body that libcurl sends with Content-Length: 0. It would add a form Content-Type of
  // its own (and Expect for larger bodies): the request carries no body, so neither.
  static constexpr char kEmptyBody[] = "";
  SetCurlOption(easy, CURLOPT_POSTFIELDSIZE, 0L);
  SetCurlOption(easy, CURLOPT_POSTFIELDS, kEmptyBody);
  headers.Append("Content-Type:");
  headers.Append("Expect:");
  SetCurlOption(easy, CURLOPT_HTTPHEADER, static_cast<void*>(headers.get()));
}

}  // namespace horalux
