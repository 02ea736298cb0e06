// The entry of horalux.com, the console companion of horalux.exe: the same program's windowless
// modes (--query, --sync, and the scheduling commands) as a console program, which cmd.exe and
// PowerShell wait for, so that its lines come before the next prompt and its exit status reaches
// %ERRORLEVEL%, $LASTEXITCODE and a .bat file. Typed without extension ("horalux --query"), cmd.exe
// and PowerShell take it before horalux.exe, which stays the one to start for the window.
#include <windows.h>

#include <string>
#include <vector>

#include "handlers/command_line.h"
#include "runtime/base/windows_text.h"
#include "ui/win32/windowless/schedule_command.h"
#include "ui/win32/windowless/windowless_command.h"
#include "ui/win32/windowless/windowless_run.h"

namespace {

constexpr char kWindowIsElsewhere[] =
    "horalux.com：本程序只用于命令行的 --query、--sync 和 --schedule 等选项；要打开窗口，请运行 "
    "horalux.exe。\n"
    "请运行 horalux.com --help 查看用法。";

}  // namespace

int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(horalux::WideToUtf8(argv[i]));
  const horalux::CommandLine command_line = horalux::ParseCommandLine("horalux", arguments);
  switch (command_line.action) {
    case horalux::CommandLine::Action::kQuery:
    case horalux::CommandLine::Action::kSync:
      return horalux::RunWindowless(horalux::SyncRequestOf(command_line));
    case horalux::CommandLine::Action::kSchedule:
    case horalux::CommandLine::Action::kUnschedule:
    case horalux::CommandLine::Action::kStatus:
      return horalux::RunScheduleCommand(command_line, "horalux.com");
    case horalux::CommandLine::Action::kShowHelp:
    case horalux::CommandLine::Action::kShowVersion:
      return horalux::ReportWindowlessText(command_line.text);
    case horalux::CommandLine::Action::kUsageError:
      return horalux::ReportWindowlessUsageError(command_line.text);
    case horalux::CommandLine::Action::kRun:
      break;
  }
  return horalux::ReportWindowlessUsageError(kWindowIsElsewhere);
}
