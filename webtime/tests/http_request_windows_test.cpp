// The request component's https contract on Windows. Wine offers no TLS server side, so the
// servers run beside Wine: the Windows test command starts testing/tls_test_servers.py with the
// certificates made at build time and passes their ports in HORALUX_TLS_PORT_<NAME>.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
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
