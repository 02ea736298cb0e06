// The tests' environment changes must be undone exactly, or one test's TZ leaks into the next.
#include "testing/scoped_environment.h"

#include <cstdlib>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace horalux::testing {
namespace {

constexpr const char* kName = "HORALUX_SCOPED_ENVIRONMENT_TEST";

std::optional<std::string> Current() {
  const char* value = std::getenv(kName);
  return value ? std::optional<std::string>(value) : std::nullopt;
}

TEST(ScopedEnvironment, SetsOrRemovesAndThenPutsBackWhatWasThere) {
  const std::optional<std::string> values[] = {std::nullopt, "Asia/Shanghai", "UTC"};
  for (const auto& before : values) {
    for (const auto& during : values) {
      ChangeEnvironment(kName, before);
      {
        const ScopedEnvironment scoped(kName, during);
        EXPECT_EQ(Current(), during);
      }
      EXPECT_EQ(Current(), before);
    }
  }
  ChangeEnvironment(kName, std::nullopt);
}

}  // namespace
}  // namespace horalux::testing
