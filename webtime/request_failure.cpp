#include "webtime/request_failure.h"

#include <string>

#include "runtime/base/text.h"
#include "webtime/redirect.h"

namespace horalux {
namespace {

struct Wording {
  ErrorKind kind;
  std::string cause;        // followed by the quoted host
  std::string_view advice;  // what the user can do about it
};

constexpr std::string_view kCheckNetwork = "请检查网址和网络连接，或稍后再试";

Wording WordingOf(RequestFailure failure) {
  switch (failure) {
    case RequestFailure::kUnusableReply:
      return {ErrorKind::kNetwork,
              "服务器的应答无法使用（不是 HTTP 应答，或要求转到 http、https 以外的网址），主机",
              "请换一个网址"};
    case RequestFailure::kMalformedUrl:
      return {ErrorKind::kInvalidUrl, "网址格式不正确，主机", "请检查网址"};
    case RequestFailure::kProxyNotResolved:
      return {ErrorKind::kNetwork, "无法解析代理服务器的名称，目标主机", "请检查代理设置"};
    case RequestFailure::kProxyFailed:
      return {ErrorKind::kNetwork, "代理服务器拒绝了请求，目标主机", "请检查代理设置"};
    case RequestFailure::kHostNotResolved:
      return {ErrorKind::kNetwork, "无法解析主机名", "请检查网址中的主机名和 DNS 设置"};
    case RequestFailure::kCannotConnect:
      return {ErrorKind::kNetwork, "连接被拒绝或主机不可达，主机",
              "请确认服务器正在运行、网址中的端口正确，以及代理设置"};
    case RequestFailure::kTimedOut:
      return {ErrorKind::kTimeout, "等待服务器应答超时，主机", kCheckNetwork};
    case RequestFailure::kTooManyRedirects:
      return {ErrorKind::kNetwork,
              "重定向次数过多（超过 " + std::to_string(kMaxRedirects) + " 次），主机",
              "请直接使用最终的网址"};
    case RequestFailure::kSendFailed:
      return {ErrorKind::kNetwork, "发送请求时连接中断（可能被服务器或代理重置），主机",
              kCheckNetwork};
    case RequestFailure::kReceiveFailed:
      return {ErrorKind::kNetwork, "接收应答时出错（连接被重置，或应答过大），主机", kCheckNetwork};
    case RequestFailure::kNothingReceived:
      return {ErrorKind::kNetwork, "服务器没有返回任何数据就关闭了连接，主机", kCheckNetwork};
    case RequestFailure::kNoHttpReply:
      return {ErrorKind::kNetwork,
              "服务器没有返回任何数据就关闭了连接，或返回的不是 HTTP 应答，主机", "请换一个网址"};
    case RequestFailure::kNotHttp:
      return {ErrorKind::kNetwork, "服务器的应答不符合 HTTP 协议，主机", "请换一个网址"};
    case RequestFailure::kHeadersTooLarge:
      return {ErrorKind::kNetwork, "服务器的应答头过大（或内存不足），主机", "请换一个网址"};
    case RequestFailure::kSecureChannelFailed:
      return {ErrorKind::kTls, "无法建立安全连接，主机", "请检查网址，或改用 http 网址"};
    case RequestFailure::kTls12Unavailable:
      return {
          ErrorKind::kTls, "无法建立安全连接：这台 Windows 没有启用 TLS 1.2，主机",
          "请安装 Windows 更新 KB3140245（Windows 7 需要它才能使用 TLS 1.2），或改用 http 网址"};
    case RequestFailure::kCertificateRefused:
      // The certificate's dates are not checked (the clock may be the thing that is wrong).
      return {ErrorKind::kTls, "服务器证书未通过验证（不受信任、签名无效或与主机名不符），主机",
              "请确认网址中的主机名正确；若该网站的证书不受信任，请改用 http 网址"};
    case RequestFailure::kOther:
      break;
  }
  return {ErrorKind::kNetwork, "HTTP 请求失败，主机", kCheckNetwork};
}

void AppendLibraryNote(std::string& message, std::string_view library_note) {
  if (library_note.empty()) return;
  message += "（";
  message += library_note;
  message += "）";
}

}  // namespace

Error RequestError(RequestFailure failure, std::string_view host, std::string_view first_host,
                   std::string_view library_note, std::string_view proxy) {
  const Wording wording = WordingOf(failure);
  std::string message(wording.cause);
  message += " ";
  message += Quoted(host);
  if (!first_host.empty()) {
    message += "（由 ";
    message += Quoted(first_host);
    message += " 重定向而来）";
  }
  if (!proxy.empty()) {
    message += "（经代理服务器 ";
    message += proxy;
    message += "）";
  }
  message += "。";
  message += wording.advice;
  message += "。";
  AppendLibraryNote(message, library_note);
  return Error(wording.kind, message);
}

Error InvalidUrlError(std::string_view url, bool other_scheme, std::string_view library_note) {
  std::string message = Quoted(EscapeControlBytes(url));
  message += other_scheme ? " 不是 http 或 https 网址" : " 不是有效的网址";
  message += "，请输入以 http:// 或 https:// 开头的完整网址。";
  AppendLibraryNote(message, library_note);
  return Error(ErrorKind::kInvalidUrl, message);
}

}  // namespace horalux
