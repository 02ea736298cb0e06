// Sets or removes environment variables for the life of an object and then puts back what was
// there, so that one test's TZ, bus address or proxy does not leak into the next.
#pragma once

#include <cstdlib>
#include <map>
#include <optional>
#include <string>
#include <utility>

namespace horalux::testing {

// Sets `name` to `value`, or removes it when there is no value. The C libraries disagree on how
// (setenv and unsetenv, or _putenv_s), so this lives in one source per platform.
void ChangeEnvironment(const std::string& name, const std::optional<std::string>& value) noexcept;

// Name to value; nothing means unset.
using EnvironmentValues = std::map<std::string, std::optional<std::string>>;

class ScopedEnvironment {
 public:
  explicit ScopedEnvironment(const EnvironmentValues& values) {
    for (const auto& [name, value] : values) {
      const char* previous = std::getenv(name.c_str());
      previous_[name] = previous ? std::optional<std::string>(previous) : std::nullopt;
      ChangeEnvironment(name, value);
    }
  }
  // Sets `name` to `value`, or removes it when there is no value.
  ScopedEnvironment(std::string name, const std::optional<std::string>& value)
      : ScopedEnvironment(EnvironmentValues{{std::move(name), value}}) {}
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() {
    for (const auto& [name, value] : previous_) ChangeEnvironment(name, value);
  }

 private:
  EnvironmentValues previous_;
};

}  // namespace horalux::testing
