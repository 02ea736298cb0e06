// Sets or removes an environment variable for the life of an object and then puts back what was
// there, so that one test's TZ or bus address does not leak into the next.
#pragma once

#include <cstdlib>
#include <optional>
#include <string>
#include <utility>

namespace horalux::testing {

// Sets `name` to `value`, or removes it when there is no value. The C libraries disagree on how
// (setenv and unsetenv, or _putenv_s), so this lives in one source per platform.
void ChangeEnvironment(const std::string& name, const std::optional<std::string>& value) noexcept;

class ScopedEnvironment {
 public:
  // Sets `name` to `value`, or removes it when there is no value.
  ScopedEnvironment(std::string name, const std::optional<std::string>& value) : name_(std::move(name)) {
    if (const char* previous = std::getenv(name_.c_str())) previous_ = previous;
    ChangeEnvironment(name_, value);
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;
  ~ScopedEnvironment() { ChangeEnvironment(name_, previous_); }

 private:
  std::string name_;
  std::optional<std::string> previous_;
};

}  // namespace horalux::testing
