// One of --schedule, --unschedule and --status run to its end, for a front end to print: what to
// write on standard output and on standard error, and the exit status. Never raises.
#pragma once

#include <string>
#include <vector>

#include "schedule/scheduler.h"

namespace horalux {

enum class ScheduleAction { kSchedule, kUnschedule, kStatus };

struct ScheduleRun {
  std::vector<std::string> out;
  std::vector<std::string> err;  // the warnings, and the error that ended the action
  int exit_status = 1;           // 0 done; 1 refused or failed, as the error says
};

// `request` only for kSchedule, its URLs already filled in with the window's default if none
// were given.
ScheduleRun RunScheduleAction(ScheduleAction action, const ScheduleRequest& request);

}  // namespace horalux
