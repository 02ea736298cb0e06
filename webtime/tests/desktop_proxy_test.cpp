// The desktop's proxy on Linux: GNOME's proxy settings, kept in memory for this test process
// alone (GSETTINGS_BACKEND=memory, set by CMake with XDG_CURRENT_DESKTOP=GNOME, on a session bus
// of its own for GLib's PAC service), take a request where they say, a PAC script's list in its
// order, and the environment still wins. Loopback servers stand in for proxies and the site.
#include <gio/gio.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "testing/loopback_server.h"
#include "testing/loopback_socket.h"
#include "webtime/tests/request_fixture.h"

namespace horalux {
namespace {

using testing::ScopedEnvironment;

struct Unref {
  void operator()(gpointer object) const noexcept { g_object_unref(object); }
};
using Settings = std::unique_ptr<GSettings, Unref>;

// What GNOME's network panel writes.
struct DesktopProxy {
  const char* mode = "none";  // none, manual or auto
  std::string http_host;
  int http_port = 0;
  std::vector<const char*> ignore_hosts;
  std::string autoconfig_url;
};

void ApplyDesktopSettings(const DesktopProxy& settings) {
  const Settings proxy(g_settings_new("org.gnome.system.proxy"));
  const Settings http(g_settings_new("org.gnome.system.proxy.http"));
  g_settings_set_string(http.get(), "host", settings.http_host.c_str());
  g_settings_set_int(http.get(), "port", settings.http_port);
  std::vector<const char*> ignore = settings.ignore_hosts;
  ignore.push_back(nullptr);
  g_settings_set_strv(proxy.get(), "ignore-hosts", ignore.data());
  g_settings_set_string(proxy.get(), "autoconfig-url", settings.autoconfig_url.c_str());
  g_settings_set_string(proxy.get(), "mode", settings.mode);
  // GLib's resolver hears of the change in the process's main context.
  while (g_main_context_iteration(nullptr, FALSE)) {
  }
}

TEST_F(HttpRequestTest, GoesWhereTheDesktopsProxySettingsSay) {
  LoopbackServer proxy(
      [](const ReceivedRequest&) { return Reply::Response(200, {"Date: via proxy"}); });
  LoopbackServer direct(
      [](const ReceivedRequest&) { return Reply::Response(200, {"Date: direct"}); });
  const std::string proxy_url = "http://127.0.0.1:" + std::to_string(proxy.port());
  const int dead_port = testing::UnusedLoopbackPort();
  const std::string dead = "127.0.0.1:" + std::to_string(dead_port);

  const std::string script_path = ::testing::TempDir() + "horalux-proxy.pac";
  std::ofstream(script_path) << "function FindProxyForURL(url, host) {\n"
                             << "  return \"PROXY " << dead << "; PROXY 127.0.0.1:" << proxy.port()
                             << "; DIRECT\";\n}\n";
  const std::string direct_script_path = ::testing::TempDir() + "horalux-direct.pac";
  std::ofstream(direct_script_path)
      << "function FindProxyForURL(url, host) { return \"PROXY " << dead << "; DIRECT\"; }\n";

  const DesktopProxy manual{"manual", "127.0.0.1", proxy.port(), {}, ""};
  const DesktopProxy manual_to_nowhere{"manual", "127.0.0.1", dead_port, {}, ""};
  struct Case {
    const char* description;
    DesktopProxy settings;
    testing::EnvironmentValues environment;
    std::string url;
    const char* expected;  // the Date, or a part of the failure's message
  };
  const std::vector<Case> cases = {
      {"none: directly", {}, {}, direct.Url(), "direct"},
      {"manual: the proxy they name", manual, {}, "http://web.example/", "via proxy"},
      {"manual, a host they ignore",
       {"manual", "127.0.0.1", dead_port, {"127.0.0.0/8"}, ""},
       {},
       direct.Url(),
       "direct"},
      {"a script: the first of its proxies that answers",
       {"auto", "", 0, {}, "file://" + script_path},
       {},
       "http://web.example/",
       "via proxy"},
      {"a script: DIRECT where its proxy does not answer",
       {"auto", "", 0, {}, "file://" + direct_script_path},
       {},
       direct.Url(),
       "direct"},
      {"the environment's proxy wins",
       manual_to_nowhere,
       {{"http_proxy", proxy_url}},
       "http://web.example/",
       "via proxy"},
      {"no_proxy wins", manual_to_nowhere, {{"no_proxy", "127.0.0.1"}}, direct.Url(), "direct"},
      {"a proxy that does not answer is named",
       manual_to_nowhere,
       {},
       "http://web.example/",
       "经代理服务器 127.0.0.1:"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    ApplyDesktopSettings(c.settings);
    ScopedEnvironment environment(c.environment);
    try {
      EXPECT_EQ(FetchHeader(c.url, "Date"), c.expected);
    } catch (const Error& error) {
      EXPECT_TRUE(Contains(error.what(), c.expected)) << error.what();
      EXPECT_TRUE(Contains(error.what(), dead)) << error.what();
    }
  }
  std::remove(script_path.c_str());
  std::remove(direct_script_path.c_str());
}

}  // namespace
}  // namespace horalux
