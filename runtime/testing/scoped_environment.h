// Sets or removes an environment variable for the life of an object and then puts back what was
// there, so that one test's TZ or bus address does not leak into the next.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace horalux::testing {

class ScopedEnvironment {
 public:
  // Sets `name` to `value`, or removes it when there is no value.
  ScopedEnvironment(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* previous = std::getenv(name_.c_str())) previous_ = previous;
    Apply(value);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() { Apply(previous_); }

 private:
  void Apply(const std::optional<std::string>& value) noexcept {
    if (value) {
      ::setenv(name_.c_str(), value->c_str(), 1);
    } else {
      ::unsetenv(name_.c_str());
    }
  }

  std::string name_;
  std::optional<std::string> previous_;
};

}  // namespace horalux::testing
