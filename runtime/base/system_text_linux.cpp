#include "runtime/base/system_text.h"

#include <string.h>

namespace horalux {
namespace {

// strerror_r comes in two flavours: GNU's returns the text, which may not be in the buffer, and
// POSIX's fills the buffer and returns 0.
[[maybe_unused]] const char* ErrnoResult(const char* text, const char*) { return text; }
[[maybe_unused]] const char* ErrnoResult(int result, const char* buffer) {
  return result == 0 ? buffer : "";
}

}  // namespace

std::string SystemTextToUtf8(std::string_view text) { return std::string(text); }

std::string ErrnoText(int errno_value) {
  char buffer[256] = {};
  return ErrnoResult(::strerror_r(errno_value, buffer, sizeof buffer), buffer);
}

}  // namespace horalux
