// The C++ runtime's own texts (std::exception::what(), std::system_error's among them) as UTF-8,
// for the messages they are quoted in. One source per platform.
#pragma once

#include <string>
#include <string_view>

namespace horalux {

// On Windows the runtime writes them in the ANSI code page (FormatMessageA: GBK on Chinese
// Windows), so that pasted into a message as they are they would spoil it; they are read from
// there and made one line. On Linux they come in the locale's encoding, UTF-8, and stay as they
// are.
std::string SystemTextToUtf8(std::string_view text);

// The C library's description of an errno value, as UTF-8; safe on any thread (strerror_r,
// strerror_s). Messages quote it through ErrnoNote (error.h).
std::string ErrnoText(int errno_value);

}  // namespace horalux
