#include "schedule/schedule_action.h"

#include <exception>

#include "runtime/base/error.h"

namespace horalux {

ScheduleRun RunScheduleAction(ScheduleAction action, const ScheduleRequest& request) {
  ScheduleRun run;
  try {
    const ScheduleOutput output = action == ScheduleAction::kSchedule     ? Schedule(request)
                                  : action == ScheduleAction::kUnschedule ? Unschedule()
                                                                          : ScheduleStatus();
    run.out = output.lines;
    run.err = output.warnings;
    run.exit_status = 0;
  } catch (const Error& error) {
    run.err.emplace_back(error.what());
  } catch (const std::exception& error) {
    run.err.push_back(std::string("程序内部出现意外错误（") + error.what() + "）。");
  }
  return run;
}

}  // namespace horalux
