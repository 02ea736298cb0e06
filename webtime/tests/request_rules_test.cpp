// The request component's rules that no transfer decides for itself: where a redirect leads and
// with which method, and which proxy the Internet Options settings give a request.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "webtime/proxy_choice.h"
#include "webtime/redirect.h"

namespace horalux {
namespace {

TEST(RedirectTest, ResolvesALocationAgainstTheUrlItCameFrom) {
  // RFC 3986's own examples (section 5.4), and the forms servers send.
  const std::string base = "http://a/b/c/d;p?q";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"g:h", "g:h"},
      {"g", "http://a/b/c/g"},
      {"./g", "http://a/b/c/g"},
      {"g/", "http://a/b/c/g/"},
      {"/g", "http://a/g"},
      {"//g", "http://g"},
      {"?y", "http://a/b/c/d;p?y"},
      {"g?y", "http://a/b/c/g?y"},
      {"#s", "http://a/b/c/d;p?q"},
      {"", "http://a/b/c/d;p?q"},
      {".", "http://a/b/c/"},
      {"..", "http://a/b/"},
      {"../g", "http://a/b/g"},
      {"../../../g", "http://a/g"},
      {"/./g", "http://a/g"},
      {"g;x=1/../y", "http://a/b/c/y"},
      {"https://secure.example:8443/t?x#f", "https://secure.example:8443/t?x"},
      {"//other.example/p", "http://other.example/p"},
      {"/p:q", "http://a/p:q"},
  };
  for (const auto& [location, expected] : cases) {
    EXPECT_EQ(ResolveLocation(base, location), expected) << location;
  }
  EXPECT_EQ(ResolveLocation("http://a", "g"), "http://a/g");
}

TEST(RedirectTest, TurnsAPostIntoAGetAsLibcurlDoes) {
  struct Case {
    HttpMethod method;
    int status;
    HttpMethod expected;
  };
  const std::vector<Case> cases = {
      {HttpMethod::kPost, 301, HttpMethod::kGet},  {HttpMethod::kPost, 302, HttpMethod::kGet},
      {HttpMethod::kPost, 303, HttpMethod::kGet},  {HttpMethod::kPost, 307, HttpMethod::kPost},
      {HttpMethod::kPost, 308, HttpMethod::kPost}, {HttpMethod::kHead, 303, HttpMethod::kHead},
      {HttpMethod::kGet, 307, HttpMethod::kGet},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MethodAfterRedirect(c.method, c.status), c.expected) << c.status;
  }
}

TEST(ProxyChoiceTest, TakesTheProxyForTheRequestsSchemeFromInternetOptions) {
  struct Case {
    const char* description;
    InternetOptionsProxy settings;
    const char* scheme;
    ProxyPlan expected;
  };
  const std::vector<Case> cases = {
      {"nothing set: directly", {}, "http", {}},
      {"one proxy for all",
       {false, "", "proxy:8080", "<local>"},
       "https",
       {false, "", "proxy:8080", "<local>"}},
      {"a list per scheme", {false, "", "http=a:1;https=b:2", ""}, "https", {false, "", "b:2", ""}},
      {"blanks between entries",
       {false, "", "http=a:1 https=b:2", ""},
       "http",
       {false, "", "a:1", ""}},
      {"a scheme's own entry before the shared one",
       {false, "", "all:3;HTTP=a:1", ""},
       "http",
       {false, "", "a:1", ""}},
      {"no entry for the scheme: directly", {false, "", "http=a:1", "x"}, "https", {}},
      {"socks is not for WinHTTP", {false, "", "socks=s:1080", ""}, "http", {}},
      {"detection, then the script, then the proxy",
       {true, "http://wpad/proxy.pac", "p:80", "<local>"},
       "http",
       {true, "http://wpad/proxy.pac", "p:80", "<local>"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(PlanProxy(c.settings, c.scheme), c.expected) << c.description;
  }
}

}  // namespace
}  // namespace horalux
