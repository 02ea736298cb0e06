// The request component's https contract on Windows. Wine offers no TLS server side, so the
// servers run beside Wine: the Windows test command starts testing/tls_test_servers.py with the
// certificates made at build time and passes their ports in HORALUX_TLS_PORT_<NAME>.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "runtime/base/error.h"
#include "webtime/http_request.h"
#include "webtime/tests/request_fixture.h"

namespace horalux {
namespace {

using namespace std::chrono_literals;

std::optional<std::string> TlsServerPort(const std::string& name) {
  const char* port = std::getenv(("HORALUX_TLS_PORT_" + name).c_str());
  if (port == nullptr || *port == '\0') return std::nullopt;
  return std::string(port);
}

TEST_F(HttpRequestTest, HttpsChecksChainSignatureAndHostButNotTheDates) {
  const HttpRequestOptions trusting{5s, 10s, HORALUX_TEST_CA};
  struct Case {
    const char* description;
    const char* server;
    const char* host;
    const HttpRequestOptions& options;
    bool served;
  };
  const std::vector<Case> cases = {
      {"a certificate from the trusted CA", "TRUSTED", "localhost", trusting, true},
      // A clock years behind must not lock the user out of the time that would mend it.
      {"one valid only from ten years ahead", "FUTURE", "localhost", trusting, true},
      {"the system's roots do not know the test CA", "TRUSTED", "localhost", kTestOptions, false},
      {"a certificate for another host", "OTHER_HOST", "localhost", trusting, false},
      {"a self-signed certificate", "SELF_SIGNED", "localhost", trusting, false},
      {"a certificate signed by another key than the CA's", "BAD_SIGNATURE", "localhost", trusting,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    const std::optional<std::string> port = TlsServerPort(c.server);
    if (!port) GTEST_SKIP() << "needs the https servers that scripts/check-windows.sh starts";
    const std::string url = std::string("https://") + c.host + ":" + *port + "/";
    if (c.served) {
      EXPECT_EQ(FetchHeader(url, "Date", c.options), kSampleDate);
    } else {
      const Error error = FetchError(url, c.options);
      EXPECT_EQ(error.kind(), ErrorKind::kTls) << error.what();
      EXPECT_TRUE(Contains(error.what(), Quoted(c.host))) << error.what();
    }
  }
}

}  // namespace
}  // namespace horalux
