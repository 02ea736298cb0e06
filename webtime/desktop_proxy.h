// Linux only: the proxies the desktop's settings give a URL, through GLib's proxy resolver
// (GProxyResolver): GNOME's settings and the desktops that share them, where XDG_CURRENT_DESKTOP
// names GNOME, with their configuration script (PAC) run by GLib's PAC service on the session
// bus; elsewhere libproxy's view of the desktop (KDE's settings, PAC, WPAD). Nothing here reads
// the environment's proxy variables: proxy_route.h puts those first.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace horalux {

// The proxies for `url` in the order to try them, as GLib gives them ("http://proxy:8080",
// "socks5://proxy:1080", "direct://"), with any credentials the settings hold in them. A lookup
// that fails, or has not ended within `limit`, gives "direct://" alone: without a word from the
// desktop, a request goes directly, as it did before the desktop was asked.
std::vector<std::string> DesktopProxiesFor(std::string_view url, std::chrono::milliseconds limit);

}  // namespace horalux
