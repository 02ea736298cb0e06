#include "webtime/curl_proxy.h"

#include "webtime/curl_error.h"

namespace horalux {
namespace {

template <typename Value>
void Set(CURL* easy, CURLoption option, Value value) {
  if (const CURLcode code = curl_easy_setopt(easy, option, value); code != CURLE_OK) {
    throw CurlSetupError(code, "libcurl 不接受代理服务器的设置");
  }
}

}  // namespace

void ApplyProxyWay(CURL* easy, const ProxyWay& way, const std::string& bypass_list) {
  // An empty proxy is libcurl's word for "directly", and keeps it from the environment's.
  Set(easy, CURLOPT_PROXY, way.proxy_url.c_str());
  Set(easy, CURLOPT_NOPROXY, bypass_list.c_str());
  if (way.proxy_url.empty()) return;
  if (way.logon) {
    // libcurl asks first without credentials, then answers with the strongest scheme offered,
    // with the name and password of the proxy's URL (none of an earlier way's).
    Set(easy, CURLOPT_PROXYUSERPWD, static_cast<const char*>(nullptr));
    Set(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_ANY));
  } else {
    // No name and no password: only the user's Kerberos ticket can answer, and nothing is sent
    // to a proxy that asks for anything else.
    Set(easy, CURLOPT_PROXYAUTH, static_cast<long>(CURLAUTH_NEGOTIATE));
    Set(easy, CURLOPT_PROXYUSERPWD, ":");
  }
}

bool FailedBeforeSending(CURLcode code) {
  return code == CURLE_COULDNT_RESOLVE_PROXY || code == CURLE_COULDNT_RESOLVE_HOST ||
         code == CURLE_COULDNT_CONNECT;
}

}  // namespace horalux
