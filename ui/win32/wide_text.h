// The program's UTF-8 texts as the UTF-16 that the window and its boxes show.
#pragma once

#include <string>
#include <string_view>

#include "runtime/base/windows_text.h"

namespace horalux {

// Every text the program shows should be valid UTF-8 (its own, or made so where it came in:
// SystemTextToUtf8 of system_text.h for the C++ runtime's). Were one not, its faulty bytes show as
// U+FFFD and the rest as it is: a box must never come up empty.
inline std::wstring TextToShow(std::string_view utf8) { return Utf8ToWideReplacing(utf8); }

}  // namespace horalux
