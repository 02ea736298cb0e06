// The request component's contract where only the WinHTTP transfer keeps it: https (Wine offers
// no TLS server side, so the servers run beside Wine: the Windows test command starts
// testing/tls_test_servers.py with the certificates made at build time and passes their ports in
// HORALUX_TLS_PORT_<NAME>), the proxies of Internet Options, a proxy that asks for the user's
// logon, and the message where Windows lacks TLS 1.2.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "runtime/base/error.h"
#include "testing/loopback_server.h"
#include "testing/wine.h"
#include "webtime/http_request.h"
#include "webtime/tests/request_fixture.h"
#include "webtime/winhttp_error.h"
#include "webtime/winhttp_transfer.h"

namespace horalux {
namespace {

using namespace std::chrono_literals;

// The Date of one POST to `url` with WinHTTP left to take the proxy from `settings`, as on a
// Windows before 8.1, and the proxy the transfer says the answer came through.
struct ProxiedAnswer {
  std::string date;
  std::string proxy;
  int status = 0;
};
ProxiedAnswer FetchThroughInternetOptions(const std::string& url,
                                          const InternetOptionsProxy& settings) {
  const std::unique_ptr<HttpTransfer> transfer =
      MakeWinHttpTransfer(kTestOptions, {false, [settings] { return settings; }});
  transfer->Prepare(HttpMethod::kPost, url);
  ResponseHeaders headers;
  const ResponseRoute route = transfer->Perform(headers);
  return {headers.Value("Date"), route.proxy, headers.status()};
}

std::string FetchWithInternetOptions(const std::string& url, const InternetOptionsProxy& settings) {
  return FetchThroughInternetOptions(url, settings).date;
}

std::optional<std::string> TlsServerPort(const std::string& name) {
  const char* port = std::getenv(("HORALUX_TLS_PORT_" + name).c_str());
  if (port == nullptr || *port == '\0') return std::nullopt;
  return std::string(port);
}

TEST_F(HttpRequestTest, HttpsChecksChainSignatureAndHostButNotTheDates) {
  for (const HttpsCase& c : kHttpsCases) {
    std::string name = c.certificate;
    std::transform(name.begin(), name.end(), name.begin(),
                   [](unsigned char letter) { return static_cast<char>(std::toupper(letter)); });
    const std::optional<std::string> port = TlsServerPort(name);
    if (!port) GTEST_SKIP() << "needs the https servers that scripts/check-windows.sh starts";
    CheckHttps(c, *port, HORALUX_TEST_CA);
  }
}

}  // namespace
}  // namespace horalux

namespace horalux {
namespace {

TEST_F(HttpRequestTest, TakesTheProxyFromInternetOptionsWhereWinHttpCannot) {
  LoopbackServer proxy(
      [](const ReceivedRequest&) { return Reply::Response(200, {"Date: proxy"}); });
  LoopbackServer direct(
      [](const ReceivedRequest&) { return Reply::Response(200, {"Date: direct"}); });
  LoopbackServer script([&](const ReceivedRequest&) {
    return Reply::Response(200, {"Content-Type: application/x-ns-proxy-autoconfig"},
                           "function FindProxyForURL(url, host) { return \"PROXY 127.0.0.1:" +
                               std::to_string(proxy.port()) + "\"; }");
  });
  const std::string proxy_at = "127.0.0.1:" + std::to_string(proxy.port());
  const std::string nowhere = "127.0.0.1:" + std::to_string(testing::UnusedLoopbackPort());
  struct Case {
    const char* description;
    InternetOptionsProxy settings;
    std::string url;
    const char* expected_date;
    bool beyond_wine = false;
  };
  const std::vector<Case> cases = {
      {"no settings: directly", {}, direct.Url(), "direct"},
      {"the named proxy", {false, "", proxy_at, ""}, "http://web.example/", "proxy"},
      {"the proxy for http from a list per scheme",
       {false, "", "https=" + nowhere + ";http=" + proxy_at, ""},
       "http://web.example/",
       "proxy"},
      {"a host on the bypass list directly",
       {false, "", nowhere, "127.0.0.1"},
       direct.Url(),
       "direct"},
      {"no auto-detection here: the named proxy",
       {true, "", proxy_at, ""},
       "http://web.example/",
       "proxy"},
      // Wine's WinHTTP runs no configuration script.
      {"the proxy the configuration script names",
       {false, script.Url("/proxy.pac"), "", ""},
       "http://web.example/",
       "proxy",
       true},
  };
  for (const Case& c : cases) {
    if (c.beyond_wine && testing::RunningUnderWine()) continue;
    SCOPED_TRACE(c.description);
    const ProxiedAnswer answer = FetchThroughInternetOptions(c.url, c.settings);
    EXPECT_EQ(answer.date, c.expected_date);
    // The proxy is known, so that a proxy's own answer can be told from the site's.
    EXPECT_EQ(answer.proxy, answer.date == "proxy" ? proxy_at : "");
  }
}

TEST_F(HttpRequestTest, AnswersAProxysLogonChallengeButNoServers) {
  // Both ask for Windows logon; only the proxy is answered with the user's credentials.
  const auto challenge = [](const char* status_header, const ReceivedRequest& request,
                            const char* credentials_header, int status) {
    if (request.Header(credentials_header)) return Reply::Response(200, {"Date: let through"});
    return Reply::Response(status, {std::string(status_header) + ": Negotiate",
                                    std::string(status_header) + ": NTLM", "Date: refused"});
  };
  LoopbackServer proxy([&](const ReceivedRequest& request) {
    return challenge("Proxy-Authenticate", request, "Proxy-Authorization", 407);
  });
  LoopbackServer server([&](const ReceivedRequest& request) {
    return challenge("WWW-Authenticate", request, "Authorization", 401);
  });

  EXPECT_EQ(FetchHeader(server.Url(), "Date"), "refused");
  ASSERT_EQ(server.Requests().size(), 1u);
  EXPECT_EQ(server.Requests()[0].Header("Authorization"), std::nullopt);

  const std::string date = FetchWithInternetOptions(
      "http://web.example/", {false, "", "127.0.0.1:" + std::to_string(proxy.port()), ""});
  const std::vector<ReceivedRequest> requests = proxy.Requests();
  // The challenge seen and answered once, with a request of its own.
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].Header("Proxy-Authorization"), std::nullopt);
  const std::string answer = requests[1].Header("Proxy-Authorization").value_or("");
  std::printf("proxy logon: answered with \"%s\", then \"%s\"\n",
              answer.substr(0, answer.find(' ')).c_str(), date.c_str());
  // Wine's NTLM needs Samba's ntlm_auth for the user's own logon, and resends without it.
  if (testing::RunningUnderWine()) return;
  EXPECT_TRUE(answer.starts_with("Negotiate ") || answer.starts_with("NTLM ")) << answer;
  // A real NTLM proxy goes on to a challenge of its own; this one lets any answer through.
  EXPECT_EQ(date, "let through");
}

TEST(WinHttpErrorTest, NamesTheUpdateWhereTls12IsMissing) {
  const DWORD channel_error = WINHTTP_CALLBACK_STATUS_FLAG_SECURITY_CHANNEL_ERROR;
  for (const bool tls12_unavailable : {false, true}) {
    const Error error = WinHttpTransferError(
        {ERROR_WINHTTP_SECURE_FAILURE, channel_error, 0, tls12_unavailable, "example.com", ""});
    EXPECT_EQ(error.kind(), ErrorKind::kTls);
    EXPECT_EQ(Contains(error.what(), "TLS 1.2") && Contains(error.what(), "KB3140245"),
              tls12_unavailable)
        << error.what();
  }
}

// squid's refusal reaches the request's contract as the proxy's own answer, the proxy named:
// Windows has no password to give squid's Basic logon, and the contract takes no time from it.
TEST_F(HttpRequestTest, ReportsSquidsRefusalAsTheNamedProxysAnswer) {
  const char* port = std::getenv("HORALUX_SQUID_PORT");
  if (port == nullptr || *port == '\0') {
    GTEST_SKIP() << "needs the squid that scripts/check-windows.sh starts";
  }
  // Not a loopback site: Wine asks a named proxy for one of those in origin form, which squid
  // refuses as a malformed request.
  const std::string squid = std::string("127.0.0.1:") + port;
  const ProxiedAnswer answer =
      FetchThroughInternetOptions("http://web.example/", {false, "", squid, ""});
  EXPECT_EQ(answer.status, 407);
  EXPECT_EQ(answer.proxy, squid);
}

}  // namespace
}  // namespace horalux
