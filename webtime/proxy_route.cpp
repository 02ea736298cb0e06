#include "webtime/proxy_route.h"

#include <optional>

#include "webtime/desktop_proxy.h"
#include "webtime/environment_proxy.h"
#include "webtime/response_headers.h"

namespace horalux {
namespace {

ProxyWay WayThrough(std::string proxy_url) {
  if (proxy_url.empty()) return {};
  ProxyName name = NameProxy(proxy_url);
  return {std::move(proxy_url), std::move(name.address), name.has_credentials};
}

// A proxy of the desktop's list as libcurl takes it, or nothing for one it cannot use.
std::optional<ProxyWay> DesktopWay(const std::string& proxy) {
  const std::size_t colon = proxy.find("://");
  if (colon == std::string::npos) return std::nullopt;
  const std::string_view scheme = std::string_view(proxy).substr(0, colon);
  if (EqualsIgnoringCase(scheme, "direct")) return ProxyWay{};
  for (const char* usable : {"http", "https", "socks4", "socks4a", "socks5", "socks5h"}) {
    if (EqualsIgnoringCase(scheme, usable)) return WayThrough(proxy);
  }
  // "socks://" is GLib's name for a SOCKS proxy of any version: libcurl's socks5h asks the proxy
  // to resolve the name, as a SOCKS proxy in a desktop's settings is meant.
  if (EqualsIgnoringCase(scheme, "socks")) return WayThrough("socks5h" + proxy.substr(colon));
  return std::nullopt;
}

// Only a desktop session has desktop settings to follow. Outside one (a service, a script over
// ssh, a timer's run) the desktop is not asked, which also spares loading GLib's proxy modules.
bool InDesktopSession() {
  for (const char* name :
       {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "GNOME_DESKTOP_SESSION_ID", "KDE_FULL_SESSION"}) {
    const std::optional<std::string> value = ProcessEnvironment(name);
    if (value && !value->empty()) return true;
  }
  return false;
}

}  // namespace

std::vector<ProxyWay> ProxyWaysFor(std::string_view url, std::string_view scheme,
                                   std::string_view host, const HttpRequestOptions& options,
                                   std::chrono::milliseconds limit) {
  if (!options.proxy.empty()) return {WayThrough(options.proxy)};
  if (std::optional<std::string> proxy = EnvironmentProxyFor(scheme, host, &ProcessEnvironment)) {
    return {WayThrough(std::move(*proxy))};
  }
  if (!InDesktopSession()) return {ProxyWay{}};
  std::vector<ProxyWay> ways;
  for (const std::string& proxy : DesktopProxiesFor(url, limit)) {
    if (std::optional<ProxyWay> way = DesktopWay(proxy)) ways.push_back(std::move(*way));
  }
  if (ways.empty()) ways.emplace_back();
  return ways;
}

std::string EnvironmentBypassList() {
  std::optional<std::string> list = ProcessEnvironment("no_proxy");
  if (!list || list->empty()) list = ProcessEnvironment("NO_PROXY");
  return list.value_or(std::string());
}

}  // namespace horalux
