// --schedule, --unschedule and --status for horalux.exe and horalux.com alike: run, and printed
// where the windowless modes print (never a box: the MSI runs them with nobody to press its
// button); --status adds the last runs' lines from the event log, where a task's runs report.
#pragma once

#include <string_view>

#include "handlers/command_line.h"

namespace horalux {

// `command_line` is one of kSchedule, kUnschedule and kStatus; `program` names the program in its
// error lines. Returns the exit status.
int RunScheduleCommand(const CommandLine& command_line, std::string_view program);

}  // namespace horalux
