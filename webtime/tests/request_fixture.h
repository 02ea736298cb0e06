// What the request component's tests share: a sample Date, generous limits, a fixture without
// the machine's proxies, and one request made and its header or error taken.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>

#include "runtime/base/error.h"
#include "testing/proxy_environment.h"
#include "webtime/http_request.h"

namespace horalux {

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

}  // namespace horalux
