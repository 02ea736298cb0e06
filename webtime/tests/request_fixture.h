// What the request component's tests share: the loopback server's names, a sample Date, generous
// limits, a fixture without the machine's proxies, and one request made and its header or error
// taken.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "runtime/base/error.h"
#include "testing/loopback_server.h"
#include "testing/proxy_environment.h"
#include "webtime/http_request.h"

namespace horalux {

using testing::LoopbackServer;
using testing::ReceivedRequest;
using testing::Reply;

inline constexpr const char* kSampleDate = "Sun, 06 Nov 1994 08:49:37 GMT";

// Generous limits, so that a fault shows as a failure rather than a hang.
inline const HttpRequestOptions kTestOptions{std::chrono::seconds(5), std::chrono::seconds(10), {}};

// The tests talk to their own servers on 127.0.0.1; a proxy of the machine must not interfere.
class HttpRequestTest : public ::testing::Test {
 private:
  testing::ScopedEnvironment no_proxies_{testing::WithoutProxies()};
};

inline std::string FetchHeader(const std::string& url, const std::string& name,
                               const HttpRequestOptions& options = kTestOptions) {
  HttpRequest request(options);
  request.Open("POST", url, false);
  request.Send();
  return request.GetResponseHeader(name);
}

inline Error FetchError(const std::string& url, const HttpRequestOptions& options = kTestOptions) {
  try {
    FetchHeader(url, "Date", options);
  } catch (const Error& error) {
    return error;
  }
  ADD_FAILURE() << "no error for " << url;
  return Error(ErrorKind::kSystem, "none");
}

inline bool Contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The https contract, one table for every platform: the chain, the signature and the host name
// are checked; the certificate's dates are not, since the local clock may be years off, which is
// why the program runs at all. `certificate` names one made by testing/make_test_certificates.py;
// each platform serves it its own way.
struct HttpsCase {
  const char* description;
  const char* certificate;
  const char* host;
  bool trust_test_ca;  // otherwise the system's store alone
  bool served;
  bool from_http = false;  // asked at an http URL that redirects to the https one
};

inline const std::vector<HttpsCase> kHttpsCases = {
    {"a certificate from the trusted CA", "trusted", "localhost", true, true},
    {"one valid only from ten years ahead", "future", "localhost", true, true},
    // A clock years off meets this most often: the http address of a site that moved to https.
    {"the same, reached from http", "future", "localhost", true, true, true},
    {"the system's roots do not know the test CA", "trusted", "localhost", false, false},
    {"a certificate for another host", "other_host", "localhost", true, false},
    {"a self-signed certificate", "self_signed", "localhost", true, false},
    {"a certificate signed by another key than the CA's", "bad_signature", "localhost", true,
     false},
};

inline void CheckHttps(const HttpsCase& c, const std::string& port, const std::string& test_ca) {
  SCOPED_TRACE(c.description);
  const HttpRequestOptions options{kTestOptions.connect_timeout, kTestOptions.total_timeout,
                                   c.trust_test_ca ? test_ca : std::string()};
  const std::string url = std::string("https://") + c.host + ":" + port + "/";
  LoopbackServer redirect(
      [&](const ReceivedRequest&) { return Reply::Response(301, {"Location: " + url}); });
  if (c.served) {
    EXPECT_EQ(FetchHeader(c.from_http ? redirect.Url() : url, "Date", options), kSampleDate);
  } else {
    const Error error = FetchError(url, options);
    EXPECT_EQ(error.kind(), ErrorKind::kTls) << error.what();
    EXPECT_TRUE(Contains(error.what(), Quoted(c.host))) << error.what();
  }
}

}  // namespace horalux
