#include "runtime/base/system_text.h"

#include <string.h>

#include "runtime/base/windows_text.h"

namespace horalux {

std::string SystemTextToUtf8(std::string_view text) { return CodePageToUtf8(text, CP_ACP); }

std::string ErrnoText(int errno_value) {
  char buffer[256] = {};
  if (::strerror_s(buffer, sizeof buffer, errno_value) != 0) return {};
  return SystemTextToUtf8(buffer);
}

}  // namespace horalux
