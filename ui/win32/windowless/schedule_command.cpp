#include "ui/win32/windowless/schedule_command.h"

#include <string>
#include <vector>

#include "schedule/schedule_action.h"
#include "ui/win32/windowless/event_log_reader.h"
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
  if (action == ScheduleAction::kStatus && run.exit_status == 0) {
    // What the task's runs reported: they had no console.
    const std::vector<std::string> runs = RecentRunLines(10);
    output.WriteOut("最近的运行记录（事件日志“应用程序”，来源 Horalux）：");
    for (const std::string& line : runs) output.WriteOut("  " + line);
    if (runs.empty()) output.WriteOut("  （没有记录）");
  }
  return run.exit_status;
}

}  // namespace horalux
