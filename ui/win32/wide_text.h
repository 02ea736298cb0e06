// The program's UTF-8 texts as the UTF-16 that the window and its boxes show.
#pragma once

#include <string>
#include <string_view>

#include "runtime/base/windows_text.h"

namespace horalux {

// Every text the program shows is valid UTF-8 (its own, or made so where it came in); were one
// not, it would show as nothing rather than as a wrong text.
inline std::wstring TextToShow(std::string_view utf8) {
  return Utf8ToWide(utf8).value_or(std::wstring());
}

}  // namespace horalux
