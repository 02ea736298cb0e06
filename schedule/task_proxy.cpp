#include "schedule/task_proxy.h"

#include "runtime/base/error.h"

namespace horalux {
namespace {

// WinHTTP's proxy list ("host:port;host2:port", each perhaps "http=host:port") as one proxy URL:
// its first entry, which is the one WinHTTP tries first.
std::string ProxyUrl(std::string proxy) {
  proxy = proxy.substr(0, proxy.find_first_of("; "));
  if (const std::size_t equals = proxy.find('='); equals != std::string::npos) {
    proxy = proxy.substr(equals + 1);
  }
  if (proxy.find("://") == std::string::npos) proxy = "http://" + proxy;
  return proxy;
}

std::string RouteText(const SiteRoute& route) {
  if (route.found_by_system) return "由系统自动检测代理";
  if (route.proxy.empty()) return "直接连接";
  return "经代理 " + ProxyUrl(route.proxy);
}

}  // namespace

std::string TaskProxy(const std::vector<SiteRoute>& routes) {
  const SiteRoute* first = nullptr;
  for (const SiteRoute& route : routes) {
    if (first == nullptr) {
      first = &route;
    } else if (RouteText(route) != RouteText(*first)) {
      throw Error(ErrorKind::kInvalidUrl,
                  Quoted(first->url) + RouteText(*first) + "，" + Quoted(route.url) +
                      RouteText(route) +
                      "，计划任务只能用一种。请用 --proxy 指定这些网站都可以"
                      "使用的代理，或分别指定可以同样连接的网站");
    }
  }
  if (first == nullptr || first->found_by_system || first->proxy.empty()) return {};
  return ProxyUrl(first->proxy);
}

}  // namespace horalux
