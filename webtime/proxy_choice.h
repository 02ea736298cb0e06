// Which proxy a request takes from the user's settings as Internet Options holds them, on a
// Windows whose WinHTTP cannot read them itself (before 8.1). Plain text in, a plan out, so that
// the choice can be tested anywhere; winhttp_proxy.cpp reads the settings and carries it out.
#pragma once

#include <string>
#include <string_view>

namespace horalux {

// WINHTTP_CURRENT_USER_IE_PROXY_CONFIG's values, as UTF-8.
struct InternetOptionsProxy {
  bool auto_detect = false;     // "自动检测设置": WPAD
  std::string auto_config_url;  // "使用自动配置脚本": the PAC file's URL, or empty
  std::string proxy;            // "host:port", or per scheme "http=host:port;https=host:port"
  std::string bypass;           // "<local>;*.example.com", or empty
};

// What to try for one request, in this order: auto-detection, then the configuration script,
// each of which may name a proxy; where neither does, the named proxy; without one, directly.
struct ProxyPlan {
  bool auto_detect = false;
  std::string script_url;  // empty: no script
  std::string proxy;       // for the request's scheme; empty: a direct connection
  std::string bypass;      // the hosts that the named proxy does not serve

  bool operator==(const ProxyPlan&) const = default;
};

// `scheme` is the request's, http or https. A list per scheme gives the entry for that scheme,
// else the entry that names no scheme; entries for other schemes (socks, ftp) are not used.
ProxyPlan PlanProxy(const InternetOptionsProxy& settings, std::string_view scheme);

// Whether the bypass list `bypass` ("<local>;*.example.com;10.*", entries apart by ';' or blanks)
// sends a request for `host` past the named proxy: "<local>" matches a name without a dot, any
// other entry the whole host, case aside, with '*' for any run of characters.
bool BypassesNamedProxy(std::string_view bypass, std::string_view host);

}  // namespace horalux
