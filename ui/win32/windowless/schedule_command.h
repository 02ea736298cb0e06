// --schedule, --unschedule and --status for horalux.exe and horalux.com alike: run, and printed
// where the windowless modes print (never a box: the MSI runs them with nobody to press its
// button); --status adds the last runs' lines from the event log, where a task's runs report.
#pragma once

#include "handlers/command_line.h"

namespace horalux {

// `command_line` is one of kSchedule, kUnschedule and kStatus; returns the exit status.
int RunScheduleCommand(const CommandLine& command_line);

}  // namespace horalux
