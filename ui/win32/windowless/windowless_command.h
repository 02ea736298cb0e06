// Which command lines of the Windows programs are the windowless modes', read before anything
// else is made: a run of them, and a usage error of them too, must never show a box.
#pragma once

#include <string>
#include <vector>

#include "handlers/command_line.h"
#include "sync/sync_run.h"

namespace horalux {

// Whether `arguments` (after the program's name) name --query or --sync, or the scheduled
// correction's --schedule, --unschedule or --status, before any "--".
bool AsksForWindowlessMode(const std::vector<std::string>& arguments);

// What to run for a command line of those modes; without a URL, the window's default.
SyncRequest SyncRequestOf(const CommandLine& command_line);

}  // namespace horalux
