#include "ui/win32/windowless/schedule_command.h"

#include <string>

#include "schedule/schedule_action.h"
#include "ui/win32/windowless/run_output.h"

namespace horalux {

int RunScheduleCommand(const CommandLine& command_line, std::string_view program) {
  using Action = CommandLine::Action;
  const ScheduleAction action = command_line.action == Action::kSchedule ? ScheduleAction::kSchedule
                                : command_line.action == Action::kUnschedule
                                    ? ScheduleAction::kUnschedule
                                    : ScheduleAction::kStatus;
  const ScheduleRun run = RunScheduleAction(action, {command_line.urls, command_line.proxy});
  const RunOutput output;
  for (const std::string& line : run.err) output.WriteError(std::string(program) + "：" + line);
  for (const std::string& line : run.out) output.WriteOut(line);
  return run.exit_status;
}

}  // namespace horalux
