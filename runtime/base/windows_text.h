// Windows only: UTF-8 and the system's UTF-16 converted both ways, texts in other code pages made
// UTF-8, and the system's own description of an error code.
#pragma once

#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace horalux {

// Nothing when `utf8` is not valid UTF-8.
std::optional<std::wstring> Utf8ToWide(std::string_view utf8);

// Every sequence that is not UTF-8 becomes U+FFFD, so that a faulty text still shows, marked where
// it is faulty; empty only when `utf8` is.
std::wstring Utf8ToWideReplacing(std::string_view utf8);

// A text in `code_page` (an ANSI code page, say) as UTF-8, made one line as WindowsErrorText is.
// SystemTextToUtf8 (system_text.h) reads the C++ runtime's texts so, from the ANSI code page.
std::string CodePageToUtf8(std::string_view text, UINT code_page);

// Unpaired surrogates become U+FFFD.
std::string WideToUtf8(std::wstring_view wide);

// The system's description of `code` in the user's language, as one line of UTF-8; the message
// table of `module` (winhttp.dll for WinHTTP's codes) when given, else the system's. Empty when
// there is none.
std::string WindowsErrorText(DWORD code, HMODULE module = nullptr);

// The one wording of a Windows error code in a message: its description (as WindowsErrorText
// gives it) and the code, "拒绝访问，错误代码 5"; the code alone where there is no description.
std::string WindowsErrorNote(DWORD code, HMODULE module = nullptr);

}  // namespace horalux
