// Environment variables set for the length of a scope and put back afterwards, for tests that
// need a proxy setting, or need to be sure there is none.
#pragma once

#include <map>
#include <optional>
#include <string>

namespace horalux::testing {

// Name to value; nothing means unset.
using EnvironmentValues = std::map<std::string, std::optional<std::string>>;

class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(const EnvironmentValues& values);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  EnvironmentValues saved_;
};

// Every proxy variable libcurl reads, unset: tests that talk to their own servers on 127.0.0.1
// must not go through a proxy set for the machine.
EnvironmentValues WithoutProxies();

}  // namespace horalux::testing
