#include "testing/scoped_environment.h"

#include <stdlib.h>

namespace horalux::testing {

void ChangeEnvironment(const std::string& name, const std::optional<std::string>& value) noexcept {
  // The C runtime has no separate removal: an empty value removes the variable, so a variable
  // cannot be set to the empty text here.
  ::_putenv_s(name.c_str(), value ? value->c_str() : "");
}

}  // namespace horalux::testing
