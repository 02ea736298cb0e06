// UTF-8, the program's own encoding, to and from the UTF-16 of the Windows API.
#pragma once

#include <string>
#include <string_view>

namespace horalux {

// Invalid sequences become U+FFFD, so that any text can be shown.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view utf16);

}  // namespace horalux
