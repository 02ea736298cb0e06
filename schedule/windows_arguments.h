// A Windows command line from separate arguments, quoted so that the C runtime and
// CommandLineToArgvW give back exactly those arguments. Portable, so that the quoting is tested
// on every platform.
#pragma once

#include <string>
#include <vector>

namespace horalux {

// Each argument that is empty or holds a space, a tab or a double quote is put in double quotes,
// with its quotes and the backslashes before them (or before its closing quote) doubled as the
// rules ask; the arguments are joined by single spaces.
std::string JoinWindowsArguments(const std::vector<std::string>& arguments);

}  // namespace horalux
