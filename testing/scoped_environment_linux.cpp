#include "testing/scoped_environment.h"

#include <stdlib.h>

namespace horalux::testing {

void ChangeEnvironment(const std::string& name, const std::optional<std::string>& value) noexcept {
  if (value) {
    ::setenv(name.c_str(), value->c_str(), 1);
  } else {
    ::unsetenv(name.c_str());
  }
}

}  // namespace horalux::testing
