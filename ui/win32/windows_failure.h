// The front end's one way of reporting a failed Win32 call: an Error naming what failed, the
// system's description of GetLastError and what to do.
#pragma once

#include <string_view>

namespace horalux {

[[noreturn]] void ThrowWindowsFailure(std::string_view what);

}  // namespace horalux
