#include "webtime/curl_error.h"

#include <string>

#include "runtime/base/text.h"

namespace horalux {
namespace {

struct Translation {
  ErrorKind kind;
  std::string_view cause;   // followed by the quoted host
  std::string_view advice;  // what the user can do about it
};

constexpr std::string_view kCheckNetwork = "请检查网址和网络连接，或稍后再试";

Translation Translate(CURLcode code) {
  switch (code) {
    case CURLE_UNSUPPORTED_PROTOCOL:
      // Both a redirect to another scheme and a reply that is not HTTP at all end up here.
      return {ErrorKind::kNetwork,
              "服务器的应答无法使用（不是 HTTP 应答，或要求转到 http、https 以外的网址），主机",
              "请换一个网址"};
    case CURLE_URL_MALFORMAT:
      return {ErrorKind::kInvalidUrl, "网址格式不正确，主机", "请检查网址"};
    case CURLE_COULDNT_RESOLVE_PROXY:
      return {ErrorKind::kNetwork, "无法解析代理服务器的名称，目标主机",
              "请检查代理设置（http_proxy、https_proxy、ALL_PROXY）"};
    case CURLE_COULDNT_RESOLVE_HOST:
      return {ErrorKind::kNetwork, "无法解析主机名", "请检查网址中的主机名和 DNS 设置"};
    case CURLE_COULDNT_CONNECT:
      return {ErrorKind::kNetwork, "连接被拒绝或主机不可达，主机",
              "请确认服务器正在运行、网址中的端口正确，以及代理设置"};
    case CURLE_OPERATION_TIMEDOUT:
      return {ErrorKind::kTimeout, "等待服务器应答超时，主机", kCheckNetwork};
    case CURLE_TOO_MANY_REDIRECTS:
      return {ErrorKind::kNetwork, "重定向次数过多（超过 10 次），主机", "请直接使用最终的网址"};
    case CURLE_SEND_ERROR:
      return {ErrorKind::kNetwork, "发送请求时连接中断（可能被服务器或代理重置），主机",
              kCheckNetwork};
    case CURLE_RECV_ERROR:
      // Also what libcurl reports for response headers beyond its limit.
      return {ErrorKind::kNetwork, "接收应答时出错（连接被重置，或应答过大），主机", kCheckNetwork};
    case CURLE_GOT_NOTHING:
      return {ErrorKind::kNetwork, "服务器没有返回任何数据就关闭了连接，主机", kCheckNetwork};
    case CURLE_WEIRD_SERVER_REPLY:
    case CURLE_HTTP2:
    case CURLE_HTTP2_STREAM:
    case CURLE_PARTIAL_FILE:
    case CURLE_HTTP3:
    case CURLE_QUIC_CONNECT_ERROR:
      return {ErrorKind::kNetwork, "服务器的应答不符合 HTTP 协议，主机", "请换一个网址"};
    case CURLE_PROXY:
      return {ErrorKind::kNetwork, "代理服务器拒绝了请求，目标主机", "请检查代理设置"};
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
      return {ErrorKind::kTls, "无法建立安全连接，主机", "请检查网址，或改用 http 网址"};
    case CURLE_PEER_FAILED_VERIFICATION:
      return {ErrorKind::kTls, "服务器证书未通过验证（不受信任、已过期或与主机名不符），主机",
              "请确认网址中的主机名正确，且系统时间与服务器证书的有效期相符"};
    case CURLE_OUT_OF_MEMORY:
      // During a transfer this is nearly always a single header line beyond libcurl's limit.
      return {ErrorKind::kNetwork, "服务器的应答头过大（或内存不足），主机", "请换一个网址"};
    default:
      return {ErrorKind::kNetwork, "HTTP 请求失败，主机", kCheckNetwork};
  }
}

void AppendLibcurlText(std::string& message, std::string_view curl_text, CURLcode code) {
  // The error buffer ends with a newline for some failures; the message is one line.
  while (!curl_text.empty() && (curl_text.back() == '\n' || curl_text.back() == '\r')) {
    curl_text.remove_suffix(1);
  }
  message += "（libcurl：";
  message += curl_text.empty() ? std::string_view(curl_easy_strerror(code)) : curl_text;
  message += "，代码 ";
  message += std::to_string(static_cast<int>(code));
  message += "）";
}

}  // namespace

Error CurlTransferError(CURLcode code, std::string_view host, std::string_view curl_text,
                        std::string_view first_host) {
  const Translation translation = Translate(code);
  std::string message(translation.cause);
  message += " ";
  message += Quoted(host);
  if (!first_host.empty()) {
    message += "（由 ";
    message += Quoted(first_host);
    message += " 重定向而来）";
  }
  message += "。";
  message += translation.advice;
  message += "。";
  AppendLibcurlText(message, curl_text, code);
  return Error(translation.kind, message);
}

Error CurlSetupError(CURLcode code, std::string_view what) {
  std::string message(what);
  message += "。";
  AppendLibcurlText(message, {}, code);
  return Error(ErrorKind::kSystem, message);
}

Error CurlUrlError(CURLUcode code, std::string_view url) {
  std::string message = Quoted(EscapeControlBytes(url));
  message += code == CURLUE_UNSUPPORTED_SCHEME ? " 不是 http 或 https 网址" : " 不是有效的网址";
  message += "，请输入以 http:// 或 https:// 开头的完整网址。（libcurl：";
  message += curl_url_strerror(code);
  message += "）";
  return Error(code == CURLUE_OUT_OF_MEMORY ? ErrorKind::kSystem : ErrorKind::kInvalidUrl, message);
}

}  // namespace horalux
