#include "runtime/base/system_text.h"

#include "runtime/base/windows_text.h"

namespace horalux {

std::string SystemTextToUtf8(std::string_view text) { return CodePageToUtf8(text, CP_ACP); }

}  // namespace horalux
