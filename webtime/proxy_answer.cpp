#include "webtime/proxy_answer.h"

#include <string>

#include "runtime/base/error.h"

namespace horalux {
namespace {

constexpr int kProxyAuthenticationRequired = 407;

// "代理服务器 proxy.example:8080", or the bare words where the proxy is not known (one the
// system chose without saying which, or one in the network's path).
std::string ProxyNamed(std::string_view proxy) {
  std::string text = "代理服务器";
  if (!proxy.empty()) {
    text += " ";
    text += proxy;
  }
  return text;
}

bool IsGatewayFailure(int status) { return status == 502 || status == 503 || status == 504; }

}  // namespace

void CheckProxyAnswer(int status, std::string_view proxy, std::string_view host,
                      bool logon_offered) {
  const std::string code = "（HTTP " + std::to_string(status) + "）";
  if (status == kProxyAuthenticationRequired) {
    std::string message = ProxyNamed(proxy);
    message += logon_offered ? " 拒绝了登录：用户名或密码不对" : " 要求身份验证";
    message += code;
    message += "，请求没有到达主机 " + Quoted(host) + "，没有获取到时间。";
    message += logon_offered ? "请检查代理设置中的用户名和密码，或向网络管理员确认。"
                             : "请在代理设置中填写代理服务器的用户名和密码"
                               "（例如 http://用户名:密码@代理服务器:端口），或向网络管理员询问。";
    throw Error(ErrorKind::kNetwork, message);
  }
  if (!proxy.empty() && IsGatewayFailure(status)) {
    throw Error(ErrorKind::kNetwork,
                ProxyNamed(proxy) + " 无法连接到主机 " + Quoted(host) + code +
                    "，这个应答来自代理服务器而不是网站，没有获取到时间。"
                    "请检查网址中的主机名和端口，或稍后再试；若该网站不经代理才能访问，"
                    "请把它加入代理设置的例外列表。");
  }
}

}  // namespace horalux
