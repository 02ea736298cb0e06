// --schedule, --unschedule and --status for horalux.exe and horalux.com alike: they print what
// they did and never show a box (the MSI runs them with nobody to press its button).
#pragma once

#include <string_view>

#include "handlers/command_line.h"

namespace horalux {

// Runs the command line's scheduling action; `program` names the program in its error lines.
// Returns the exit status.
int RunScheduleCommand(const CommandLine& command_line, std::string_view program);

}  // namespace horalux
