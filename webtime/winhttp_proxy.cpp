#include "webtime/winhttp_proxy.h"

#include <memory>
#include <optional>

#include "runtime/base/windows_text.h"

namespace horalux {
namespace {

// The strings WinHTTP hands out in its proxy structures belong to the caller, who frees them with
// GlobalFree.
struct GlobalFreer {
  void operator()(wchar_t* text) const noexcept { ::GlobalFree(text); }
};
using GlobalText = std::unique_ptr<wchar_t, GlobalFreer>;

std::string TextOf(const GlobalText& text) { return text ? WideToUtf8(text.get()) : std::string(); }

// What WinHttpGetProxyForUrl found, owned.
struct FoundProxy {
  DWORD access_type = WINHTTP_ACCESS_TYPE_NO_PROXY;
  GlobalText proxy;
  GlobalText bypass;
};

std::optional<FoundProxy> AskForProxy(HINTERNET session, const std::wstring& url,
                                      WINHTTP_AUTOPROXY_OPTIONS options) {
  // The user's own logon is offered to a server that guards its configuration script.
  options.fAutoLogonIfChallenged = TRUE;
  WINHTTP_PROXY_INFO info{};
  if (!::WinHttpGetProxyForUrl(session, url.c_str(), &options, &info)) return std::nullopt;
  FoundProxy found;
  found.access_type = info.dwAccessType;
  found.proxy.reset(info.lpszProxy);
  found.bypass.reset(info.lpszProxyBypass);
  return found;
}

}  // namespace

InternetOptionsProxy ReadInternetOptionsProxy() {
  WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
  if (!::WinHttpGetIEProxyConfigForCurrentUser(&config)) return {};
  const GlobalText auto_config_url(config.lpszAutoConfigUrl);
  const GlobalText proxy(config.lpszProxy);
  const GlobalText bypass(config.lpszProxyBypass);
  return {config.fAutoDetect != FALSE, TextOf(auto_config_url), TextOf(proxy), TextOf(bypass)};
}

SessionProxy ResolveProxyPlan(InternetHandle& discovery, const ProxyPlan& plan,
                              const std::wstring& url) {
  if ((plan.auto_detect || !plan.script_url.empty()) && !discovery) {
    discovery.reset(::WinHttpOpen(nullptr, WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME,
                                  WINHTTP_NO_PROXY_BYPASS, 0));
  }
  std::optional<FoundProxy> found;
  if (plan.auto_detect && discovery) {
    WINHTTP_AUTOPROXY_OPTIONS options{};
    options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
    options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    found = AskForProxy(discovery.get(), url, options);
  }
  if (!found && !plan.script_url.empty() && discovery) {
    if (const std::optional<std::wstring> script = Utf8ToWide(plan.script_url)) {
      WINHTTP_AUTOPROXY_OPTIONS options{};
      options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
      options.lpszAutoConfigUrl = script->c_str();
      found = AskForProxy(discovery.get(), url, options);
    }
  }
  SessionProxy result;
  if (found) {
    // A script's "DIRECT" comes back as no proxy.
    if (found->access_type == WINHTTP_ACCESS_TYPE_NAMED_PROXY && found->proxy) {
      result = {WINHTTP_ACCESS_TYPE_NAMED_PROXY, found->proxy.get(),
                found->bypass ? found->bypass.get() : L""};
    }
    return result;
  }
  const std::optional<std::wstring> proxy = Utf8ToWide(plan.proxy);
  if (proxy && !proxy->empty()) {
    result = {WINHTTP_ACCESS_TYPE_NAMED_PROXY, *proxy, Utf8ToWide(plan.bypass).value_or(L"")};
  }
  return result;
}

}  // namespace horalux
