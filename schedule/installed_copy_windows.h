// Windows only: the copy of this program that a task running as SYSTEM may start, in
// %ProgramFiles%\Horalux\, where only administrators can write: a task must never run an exe that
// an ordinary user can replace.
#pragma once

#include <string>

namespace horalux {

// The full path of horalux.exe in Program Files\Horalux (Program Files (x86) for the 32-bit
// build on 64-bit Windows), copied there first, with horalux.com where it is there too, from the
// folder of the running program (horalux.exe or horalux.com) unless that is Program Files\Horalux
// already (as the MSI installs it). Raises horalux::Error, worded with what to do.
std::wstring InstallIntoProgramFiles();

}  // namespace horalux
