// The program's entry on Windows: the command line; the windowless modes before anything of the
// window; else the start-up query started at once, then the window on the computer's clock, the
// user's regional forms and MessageBoxW.
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "handlers/command_line.h"
#include "handlers/error_report.h"
#include "handlers/started_query.h"
#include "handlers/texts.h"
#include "runtime/base/error.h"
#include "runtime/base/windows_text.h"
#include "runtime/clock/clock.h"
#include "runtime/datetime/text_forms.h"
#include "ui/win32/form1.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/win32_message_box.h"
#include "ui/win32/windowless/schedule_command.h"
#include "ui/win32/windowless/windowless_command.h"
#include "ui/win32/windowless/windowless_run.h"
#include "webtime/web_time.h"

namespace {

// The arguments after the program's name, in UTF-8, as the C runtime split the command line
// before wWinMain (the rules of CommandLineToArgvW for the arguments); that function itself would
// load shell32.dll, and under Wine much else, at every start.
std::vector<std::string> Arguments() {
  std::vector<std::string> arguments;
  for (int i = 1; i < __argc && __wargv != nullptr; ++i) {
    arguments.push_back(horalux::WideToUtf8(__wargv[i]));
  }
  return arguments;
}

void ShowCommandLineText(std::string_view text, UINT icon) {
  if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  ::MessageBoxW(nullptr, horalux::TextToShow(text).c_str(),
                horalux::TextToShow(horalux::texts::kApplicationTitle).c_str(),
                MB_OK | icon | MB_SETFOREGROUND);
}

// A request may still be running on a thread that can neither be stopped nor waited for. Not
// ExitProcess: that thread may hold locks that unloading the DLLs would wait for.
void EndAtOnce(int status) { ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(status)); }

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  const std::vector<std::string> arguments = Arguments();
  const horalux::CommandLine command_line = horalux::ParseCommandLine("horalux.exe", arguments);
  // Before any window, box or window class: these modes run where nobody may see a box (a
  // scheduled task), and report to a redirection, the prompt's console or the event log. Their
  // usage errors and help too.
  const bool windowless = horalux::AsksForWindowlessMode(arguments);
  switch (command_line.action) {
    case horalux::CommandLine::Action::kQuery:
    case horalux::CommandLine::Action::kSync:
      return horalux::RunWindowless(horalux::SyncRequestOf(command_line));
    case horalux::CommandLine::Action::kSchedule:
    case horalux::CommandLine::Action::kUnschedule:
    case horalux::CommandLine::Action::kStatus:
      return horalux::RunScheduleCommand(command_line, "horalux.exe");
    case horalux::CommandLine::Action::kShowHelp:
    case horalux::CommandLine::Action::kShowVersion:
      if (windowless) return horalux::ReportWindowlessText(command_line.text);
      ShowCommandLineText(command_line.text, MB_ICONINFORMATION);
      return 0;
    case horalux::CommandLine::Action::kUsageError:
      if (windowless) return horalux::ReportWindowlessUsageError(command_line.text);
      ShowCommandLineText(command_line.text, MB_ICONERROR);
      return horalux::kUsageErrorStatus;
    case horalux::CommandLine::Action::kRun:
      break;
  }

  horalux::Win32MessageBox message_box;
  std::optional<horalux::StartedQuery> started;
  int status = 1;
  try {
    // Without the user's forms there is no time text to show or read back.
    const horalux::TextForms forms = horalux::UserTextForms();
    const horalux::WebTimeQuery query = [forms](std::string_view url) {
      return horalux::GetWebTime(url, forms);
    };
    const std::string url =
        command_line.url.value_or(std::string(horalux::texts::kDefaultTimeServerUrl));
    // The start-up query goes out now, on a thread of its own, while the window classes, the
    // fonts and the window are made.
    started.emplace(
        [forms](std::string_view url, const std::function<void()>& under_way) {
          horalux::HttpRequestOptions options;
          options.on_sending = under_way;
          return horalux::GetWebTime(url, forms, options);
        },
        url);
    // Windows lets no thread begin while another loads a DLL, and the window system loads many:
    // the request's threads begin first.
    started->WaitUntilUnderWay(std::chrono::milliseconds(100));
    const std::unique_ptr<horalux::Clock> clock = horalux::OpenSystemClock();
    horalux::Form1 window(message_box, *clock, forms, query, url);
    // Made while the request is out; an answer that is in is shown first, and the rest of the
    // window made after its box.
    window.Build([&started] { return started->Ended(); });
    window.Load(&*started);
    window.Show(show_command);
    message_box.SetOwner(window.handle());
    status = window.RunMessageLoop();
    if (window.LeftARequestRunning()) EndAtOnce(status);
  } catch (const horalux::Error& error) {
    message_box.SetOwner(nullptr);
    message_box.ReportError(error);
  } catch (const std::exception& error) {
    message_box.SetOwner(nullptr);
    message_box.ReportError(horalux::InternalError(error, horalux::AfterInternalError::kRestart));
  }
  if (started && !started->Ended()) EndAtOnce(status);
  return status;
}
