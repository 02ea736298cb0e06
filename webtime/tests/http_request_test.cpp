#include "webtime/http_request.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "runtime/base/error.h"
#include "testing/loopback_server.h"
#include "testing/proxy_environment.h"

namespace horalux {
namespace {

using testing::LoopbackServer;
using testing::ReceivedRequest;
using testing::Reply;
using testing::ScopedEnvironment;
using namespace std::chrono_literals;

constexpr const char* kSampleDate = "Sun, 06 Nov 1994 08:49:37 GMT";

// Generous limits, so that a fault shows as a failure rather than a hang.
const HttpRequestOptions kTestOptions{5s, 10s, {}};

// The tests talk to their own servers on 127.0.0.1; a proxy of the machine must not interfere.
class HttpRequestTest : public ::testing::Test {
 private:
  ScopedEnvironment no_proxies_{testing::WithoutProxies()};
};

std::string FetchHeader(const std::string& url, const std::string& name,
                        const HttpRequestOptions& options = kTestOptions) {
  HttpRequest request(options);
  request.Open("POST", url, false);
  request.Send();
  return request.GetResponseHeader(name);
}

Error FetchError(const std::string& url, const HttpRequestOptions& options = kTestOptions) {
  try {
    FetchHeader(url, "Date", options);
  } catch (const Error& error) {
    return error;
  }
  ADD_FAILURE() << "no error for " << url;
  return Error(ErrorKind::kSystem, "none");
}

bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

TEST_F(HttpRequestTest, ReadsTheRequestedHeaderOfAnyResponse) {
  const std::string eight_kilobytes(8192, 'd');
  struct Case {
    const char* description;
    std::string response;
    const char* name;
    std::string expected;
  };
  const std::vector<Case> cases = {
      {"a 200 with the standard Date",
       Reply::Response(200, {"Date: " + std::string(kSampleDate)}).bytes, "Date", kSampleDate},
      {"a 405 still carries the Date",
       Reply::Response(405, {"Date: " + std::string(kSampleDate)}).bytes, "Date", kSampleDate},
      {"a 500 still carries the Date",
       Reply::Response(500, {"Date: " + std::string(kSampleDate)}).bytes, "Date", kSampleDate},
      {"a name sent in lower case",
       Reply::Response(200, {"date: " + std::string(kSampleDate)}).bytes, "Date", kSampleDate},
      {"a name asked in upper case",
       Reply::Response(200, {"Date: " + std::string(kSampleDate)}).bytes, "DATE", kSampleDate},
      {"a missing header is empty", Reply::Response(200, {"Server: test"}).bytes, "Date", ""},
      {"an empty value", Reply::Response(200, {"Date:"}).bytes, "Date", ""},
      {"blanks around the value are dropped", Reply::Response(200, {"Date: \t x y \t"}).bytes,
       "Date", "x y"},
      {"an 8 KB value comes back whole", Reply::Response(200, {"Date: " + eight_kilobytes}).bytes,
       "Date", eight_kilobytes},
      {"bytes are ISO-8859-1 characters", Reply::Response(200, {"Date: caf\xE9 \xFF"}).bytes,
       "Date", "caf\u00E9 \u00FF"},
      {"a repeated header is joined", Reply::Response(200, {"Date: one", "Date: two"}).bytes,
       "Date", "one, two"},
      {"a folded value is unfolded",
       Reply::Response(200, {"Date: Sun, 06 Nov", " 1994 08:49:37 GMT"}).bytes, "Date",
       kSampleDate},
      {"an interim 100 response does not count",
       "HTTP/1.1 100 Continue\r\nDate: interim\r\n\r\n" +
           Reply::Response(200, {"Date: " + std::string(kSampleDate)}).bytes,
       "Date", kSampleDate},
      {"an HTTP/1.0 response without length",
       "HTTP/1.0 200 OK\r\nDate: " + std::string(kSampleDate) + "\r\n\r\nbody until close", "Date",
       kSampleDate},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    LoopbackServer server([&](const ReceivedRequest&) { return Reply{c.response}; });
    EXPECT_EQ(FetchHeader(server.Url(), c.name), c.expected);
  }
}

TEST_F(HttpRequestTest, SendsAPostWithAnEmptyBodyAndNoHeadersOfItsOwn) {
  LoopbackServer server([](const ReceivedRequest&) { return Reply::Response(200, {"Date: x"}); });
  FetchHeader(server.Url("/time?q=1"), "Date");

  const std::vector<ReceivedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const ReceivedRequest& request = requests.front();
  EXPECT_EQ(request.method, "POST");
  EXPECT_EQ(request.target, "/time?q=1");
  EXPECT_EQ(request.body, "");
  EXPECT_EQ(request.Header("Content-Length"), "0");
  EXPECT_EQ(request.Header("Content-Type"), std::nullopt);
  EXPECT_EQ(request.Header("Expect"), std::nullopt);
  EXPECT_EQ(request.Header("Transfer-Encoding"), std::nullopt);
  EXPECT_EQ(request.Header("Host"), "127.0.0.1:" + std::to_string(server.port()));
}

TEST_F(HttpRequestTest, FollowsRedirectsAndReadsTheFinalResponse) {
  LoopbackServer server([](const ReceivedRequest& request) {
    if (request.target == "/start")
      return Reply::Response(302, {"Date: first", "Location: /middle"});
    if (request.target == "/middle")
      return Reply::Response(307, {"Date: second", "Location: /final"});
    return Reply::Response(200, {"Date: final"});
  });
  EXPECT_EQ(FetchHeader(server.Url("/start"), "Date"), "final");

  const std::vector<ReceivedRequest> requests = server.Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[0].target, "/start");
  EXPECT_EQ(requests[1].target, "/middle");
  EXPECT_EQ(requests[2].target, "/final");
  // A 307 keeps the method, still with an empty body.
  EXPECT_EQ(requests[2].method, requests[1].method);
  EXPECT_EQ(requests[2].body, "");
}

// A server that redirects /0 to /1 and so on, and answers /<limit> with a Date.
Reply NumberedRedirect(const ReceivedRequest& request, int limit) {
  const int step = std::stoi(request.target.substr(1));
  if (step >= limit) return Reply::Response(200, {"Date: arrived"});
  return Reply::Response(302, {"Location: /" + std::to_string(step + 1)});
}

TEST_F(HttpRequestTest, FollowsTenRedirectsButNotEleven) {
  LoopbackServer ten([](const ReceivedRequest& request) { return NumberedRedirect(request, 10); });
  EXPECT_EQ(FetchHeader(ten.Url("/0"), "Date"), "arrived");

  LoopbackServer eleven(
      [](const ReceivedRequest& request) { return NumberedRedirect(request, 11); });
  const Error error = FetchError(eleven.Url("/0"));
  EXPECT_EQ(error.kind(), ErrorKind::kNetwork);
  EXPECT_TRUE(Contains(error.what(), "重定向次数过多")) << error.what();
  EXPECT_EQ(eleven.Requests().size(), 11u);
}

TEST_F(HttpRequestTest, RefusesRedirectsToOtherSchemes) {
  for (const char* location : {"file:///etc/passwd", "ftp://127.0.0.1/", "dict://127.0.0.1/"}) {
    SCOPED_TRACE(location);
    LoopbackServer server([&](const ReceivedRequest&) {
      return Reply::Response(302, {"Date: x", std::string("Location: ") + location});
    });
    const Error error = FetchError(server.Url());
    EXPECT_EQ(error.kind(), ErrorKind::kNetwork) << error.what();
    EXPECT_TRUE(Contains(error.what(), "无法使用")) << error.what();
  }
}

TEST_F(HttpRequestTest, ReturnsOnceTheHeadersAreInWithoutReadingTheBody) {
  const std::string headers = "HTTP/1.1 200 OK\r\nDate: " + std::string(kSampleDate) +
                              "\r\nContent-Length: 100000000\r\n\r\n";
  // The total time-out is far shorter than a body that never comes or never ends would take.
  const HttpRequestOptions options{2s, 3s, {}};
  for (const Reply::Then then : {Reply::Then::kHoldOpen, Reply::Then::kStreamForever}) {
    LoopbackServer server([&](const ReceivedRequest&) { return Reply{headers, then}; });
    EXPECT_EQ(FetchHeader(server.Url(), "Date", options), kSampleDate);
  }
}

TEST_F(HttpRequestTest, ReportsEachFailureWithItsKindAndHost) {
  LoopbackServer silent([](const ReceivedRequest&) { return Reply::Silence(); });
  LoopbackServer hangs_up([](const ReceivedRequest&) { return Reply{""}; });
  LoopbackServer resets([](const ReceivedRequest&) { return Reply{"", Reply::Then::kReset}; });
  LoopbackServer oversized([](const ReceivedRequest&) {
    return Reply::Response(200, {"Date: " + std::string(200 * 1024, 'x')});
  });
  LoopbackServer speaks_nonsense([](const ReceivedRequest&) { return Reply{"nonsense\r\n\r\n"}; });
  const std::string refused =
      "http://127.0.0.1:" + std::to_string(testing::UnusedLoopbackPort()) + "/";
  const HttpRequestOptions short_wait{500ms, 500ms, {}};

  struct Case {
    const char* description;
    std::string url;
    HttpRequestOptions options;
    ErrorKind kind;
    const char* host;
    const char* cause;
  };
  const std::vector<Case> cases = {
      {"a server that never answers", silent.Url(), short_wait, ErrorKind::kTimeout, "127.0.0.1",
       "超时"},
      {"connection refused", refused, kTestOptions, ErrorKind::kNetwork, "127.0.0.1", "连接被拒绝"},
      {"a name that does not resolve", "http://something.invalid/", kTestOptions,
       ErrorKind::kNetwork, "something.invalid", "无法解析主机名"},
      {"a server that hangs up", hangs_up.Url(), kTestOptions, ErrorKind::kNetwork, "127.0.0.1",
       "没有返回任何数据"},
      {"a connection reset", resets.Url(), kTestOptions, ErrorKind::kNetwork, "127.0.0.1",
       "连接被重置"},
      {"a header line too long to take", oversized.Url(), kTestOptions, ErrorKind::kNetwork,
       "127.0.0.1", "应答头过大"},
      {"a reply that is not HTTP", speaks_nonsense.Url(), kTestOptions, ErrorKind::kNetwork,
       "127.0.0.1", "不是 HTTP 应答"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    const auto start = std::chrono::steady_clock::now();
    const Error error = FetchError(c.url, c.options);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(error.kind(), c.kind) << error.what();
    EXPECT_TRUE(Contains(error.what(), Quoted(c.host))) << error.what();
    EXPECT_TRUE(Contains(error.what(), c.cause)) << error.what();
    EXPECT_TRUE(Contains(error.what(), "libcurl：")) << error.what();
    // The time-out bounds every failure, not only the silent server's.
    EXPECT_LT(elapsed, c.options.total_timeout + 2s) << error.what();
  }
}

TEST_F(HttpRequestTest, OpenRefusesAnythingButHttpAndHttps) {
  LoopbackServer server([](const ReceivedRequest&) { return Reply::Response(200, {"Date: x"}); });
  const std::string port = std::to_string(server.port());
  const std::string port_only = "http://127.0.0.1:" + port;
  struct Case {
    std::string url;
    std::string shown;  // how the message quotes it, when not as it stands
  };
  const std::vector<Case> cases = {
      {"", ""},
      {"not a url", ""},
      {"127.0.0.1:" + port + "/", ""},
      {"//127.0.0.1:" + port + "/", ""},
      {"file:///etc/passwd", ""},
      {"ftp://127.0.0.1:" + port + "/", ""},
      {"dict://127.0.0.1:" + port + "/", ""},
      {"gopher://127.0.0.1:" + port + "/", ""},
      {"telnet://127.0.0.1:" + port + "/", ""},
      {"http://", ""},
      {port_only + "/a b", ""},
      {" " + port_only + "/", ""},
      {port_only + "/\r\nX-Injected: 1", port_only + "/\\x0D\\x0AX-Injected: 1"},
      // Cut at the NUL, this would be a different, valid URL.
      {port_only + std::string("/\0@evil", 7), port_only + "/\\x00@evil"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.url);
    HttpRequest request(kTestOptions);
    try {
      request.Open("POST", c.url, false);
      ADD_FAILURE() << "accepted";
    } catch (const Error& error) {
      EXPECT_EQ(error.kind(), ErrorKind::kInvalidUrl) << error.what();
      EXPECT_TRUE(Contains(error.what(), Quoted(c.shown.empty() ? c.url : c.shown)))
          << error.what();
    }
  }
  EXPECT_TRUE(server.Requests().empty());
}

TEST_F(HttpRequestTest, AcceptsSchemesInAnyCase) {
  LoopbackServer server([](const ReceivedRequest&) { return Reply::Response(200, {"Date: x"}); });
  EXPECT_EQ(FetchHeader("HTTP://127.0.0.1:" + std::to_string(server.port()) + "/", "Date"), "x");
}

TEST_F(HttpRequestTest, RefusesMisuse) {
  HttpRequest unopened(kTestOptions);
  EXPECT_THROW(unopened.Send(), std::logic_error);
  EXPECT_EQ(unopened.GetResponseHeader("Date"), "");
  HttpRequest asynchronous(kTestOptions);
  EXPECT_THROW(asynchronous.Open("POST", "http://127.0.0.1/", true), std::logic_error);
  HttpRequest odd_method(kTestOptions);
  EXPECT_THROW(odd_method.Open("DELETE", "http://127.0.0.1/", false), std::logic_error);
}

// An https server on 127.0.0.1 with a certificate made at build time.
class TlsServer {
 public:
  TlsServer(const char* certificate, const char* key) : server_(certificate, key) {
    server_.Post("/", [](const httplib::Request&, httplib::Response& response) {
      response.set_header("Date", kSampleDate);
    });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
    while (!server_.is_running()) std::this_thread::sleep_for(1ms);
  }
  ~TlsServer() {
    server_.stop();
    thread_.join();
  }
  int port() const { return port_; }

 private:
  httplib::SSLServer server_;
  int port_ = 0;
  std::thread thread_;
};

#define HORALUX_FUTURE(name) HORALUX_FUTURE_CERTS "/" name

// The chain, the signature and the host name are checked; the certificate's dates are not, since
// the local clock may be years off, which is why the program runs at all.
TEST_F(HttpRequestTest, HttpsChecksTheCertificateButNotItsDates) {
  struct Case {
    const char* what;
    const char* certificate;
    const char* key;
    const char* trusted;  // the CA file; empty: the system's store
    const char* host;
    bool served;
  };
  const char* const future_key = HORALUX_FUTURE("future_key.pem");
  const char* const test_ca = HORALUX_FUTURE("test_ca.pem");
  const Case cases[] = {
      {"trusted", HORALUX_TEST_CERT, HORALUX_TEST_KEY, HORALUX_TEST_CERT, "127.0.0.1", true},
      {"unknown to the system's store", HORALUX_TEST_CERT, HORALUX_TEST_KEY, "", "127.0.0.1", false},
      {"asked for under another name", HORALUX_TEST_CERT, HORALUX_TEST_KEY, HORALUX_TEST_CERT,
       "localhost", false},
      {"valid only from ten years ahead, from the trusted CA", HORALUX_FUTURE("future_cert.pem"),
       future_key, test_ca, "127.0.0.1", true},
      {"valid only from ten years ahead, for another host",
       HORALUX_FUTURE("future_other_host_cert.pem"), future_key, test_ca, "127.0.0.1", false},
      {"valid only from ten years ahead, self-signed", HORALUX_FUTURE("future_self_signed_cert.pem"),
       future_key, test_ca, "127.0.0.1", false},
  };
  for (const Case& c : cases) {
    TlsServer server(c.certificate, c.key);
    ASSERT_TRUE(server.port() > 0) << c.what;
    const std::string url = std::string("https://") + c.host + ":" + std::to_string(server.port()) + "/";
    const HttpRequestOptions options{5s, 10s, c.trusted};
    if (c.served) {
      try {
        EXPECT_EQ(FetchHeader(url, "Date", options), kSampleDate) << c.what;
      } catch (const Error& error) {
        ADD_FAILURE() << c.what << ": " << error.what();
      }
      continue;
    }
    const Error refused = FetchError(url, options);
    EXPECT_EQ(refused.kind(), ErrorKind::kTls) << c.what << ": " << refused.what();
    EXPECT_TRUE(Contains(refused.what(), "服务器证书未通过验证")) << c.what << ": " << refused.what();
    EXPECT_TRUE(Contains(refused.what(), Quoted(c.host))) << c.what << ": " << refused.what();
  }
}

TEST_F(HttpRequestTest, GoesThroughTheProxiesOfTheEnvironment) {
  LoopbackServer proxy([](const ReceivedRequest& request) {
    if (request.method == "CONNECT") return Reply::Response(403, {});
    return Reply::Response(200, {"Date: via proxy"});
  });
  LoopbackServer direct(
      [](const ReceivedRequest&) { return Reply::Response(200, {"Date: direct"}); });
  const std::string proxy_url = "http://127.0.0.1:" + std::to_string(proxy.port());
  const std::string dead_proxy_url =
      "http://127.0.0.1:" + std::to_string(testing::UnusedLoopbackPort());

  struct Case {
    const char* description;
    testing::EnvironmentValues environment;
    std::string url;
    std::optional<std::string> expected_date;  // nothing: the request fails
    std::string proxy_request_line;            // what the proxy saw, empty for nothing
  };
  const std::vector<Case> cases = {
      {"http_proxy gets the absolute form",
       {{"http_proxy", proxy_url}},
       "http://web.example/time?x",
       "via proxy",
       "POST http://web.example/time?x"},
      {"ALL_PROXY serves when no other proxy variable applies",
       {{"ALL_PROXY", proxy_url}},
       "http://web.example/",
       "via proxy",
       "POST http://web.example/"},
      {"https_proxy gets a CONNECT for https",
       {{"https_proxy", proxy_url}},
       "https://web.example/",
       std::nullopt,
       "CONNECT web.example:443"},
      {"no_proxy bypasses the proxy",
       {{"http_proxy", dead_proxy_url}, {"no_proxy", "127.0.0.1"}},
       direct.Url(),
       "direct",
       ""},
  };
  std::size_t seen = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    ScopedEnvironment environment(c.environment);
    if (c.expected_date) {
      EXPECT_EQ(FetchHeader(c.url, "Date"), *c.expected_date);
    } else {
      EXPECT_THROW(FetchHeader(c.url, "Date"), Error);
    }
    const std::vector<ReceivedRequest> requests = proxy.Requests();
    if (c.proxy_request_line.empty()) {
      EXPECT_EQ(requests.size(), seen);
    } else {
      ASSERT_EQ(requests.size(), seen + 1);
      EXPECT_EQ(requests.back().method + " " + requests.back().target, c.proxy_request_line);
    }
    seen = requests.size();
  }
}

}  // namespace
}  // namespace horalux
