// The program's entry: the command line; the windowless modes, before anything of Qt exists; else
// the start-up query started at once, then the window on the real clock, the user's regional forms
// and Qt's boxes.
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QApplication>

#include "handlers/command_line.h"
#include "handlers/started_query.h"
#include "handlers/texts.h"
#include "runtime/base/error.h"
#include "runtime/clock/clock.h"
#include "runtime/datetime/ole_date.h"
#include "runtime/datetime/text_forms.h"
#include "schedule/schedule_action.h"
#include "sync/sync_terminal.h"
#include "ui/qt/chinese_language.h"
#include "ui/qt/form1.h"
#include "ui/qt/qt_message_box.h"
#include "webtime/web_time.h"

namespace {

// --schedule, --unschedule and --status, without Qt or a display: a service or an ssh session
// has none.
int RunScheduleCommand(const horalux::CommandLine& command_line) {
  using Action = horalux::CommandLine::Action;
  const horalux::ScheduleAction action =
      command_line.action == Action::kSchedule     ? horalux::ScheduleAction::kSchedule
      : command_line.action == Action::kUnschedule ? horalux::ScheduleAction::kUnschedule
                                                   : horalux::ScheduleAction::kStatus;
  const horalux::ScheduleRun run =
      horalux::RunScheduleAction(action, {command_line.urls, command_line.proxy});
  for (const std::string& line : run.err) std::fprintf(stderr, "horalux：%s\n", line.c_str());
  for (const std::string& line : run.out) std::printf("%s\n", line.c_str());
  return std::fflush(stdout) == 0 ? run.exit_status : 1;
}

}  // namespace

int main(int argc, char** argv) {
  // Our own arguments are read before Qt starts, since the URL is asked for while it starts; Qt
  // gets none of them, and its own options (-platform and the like) are not taken: its
  // environment variables (QT_QPA_PLATFORM, DISPLAY, ...) do the same.
  const horalux::CommandLine command_line =
      horalux::ParseCommandLine("horalux", std::vector<std::string>(argv + 1, argv + argc));
  switch (command_line.action) {
    case horalux::CommandLine::Action::kShowHelp:
    case horalux::CommandLine::Action::kShowVersion:
      std::fputs(command_line.text.c_str(), stdout);
      return std::fflush(stdout) == 0 ? 0 : 1;
    case horalux::CommandLine::Action::kUsageError:
      std::fputs(command_line.text.c_str(), stderr);
      return horalux::kUsageErrorStatus;
    case horalux::CommandLine::Action::kQuery:
    case horalux::CommandLine::Action::kSync:
      // No display is needed: a service or an ssh session has none.
      return horalux::RunSyncInTerminal({command_line.urls,
                                         command_line.action == horalux::CommandLine::Action::kSync,
                                         command_line.proxy});
    case horalux::CommandLine::Action::kSchedule:
    case horalux::CommandLine::Action::kUnschedule:
    case horalux::CommandLine::Action::kStatus:
      return RunScheduleCommand(command_line);
    case horalux::CommandLine::Action::kRun:
      break;
  }

  // Without the user's forms there is no time text to show or read back; the report of that
  // waits for the window system.
  std::optional<horalux::TextForms> forms;
  std::optional<horalux::Error> forms_error;
  try {
    forms = horalux::UserTextForms();
  } catch (const horalux::Error& error) {
    forms_error = error;
  }
  const horalux::WebTimeQuery query = [forms](std::string_view url) {
    return horalux::GetWebTime(url, *forms);
  };
  // The start-up query goes out now, on a thread of its own, while Qt connects to the display,
  // loads its fonts and builds the window.
  std::optional<horalux::StartedQuery> started;
  if (forms) {
    started.emplace(
        [forms](std::string_view url, const std::function<void()>& under_way) {
          horalux::HttpRequestOptions options;
          options.on_sending = under_way;
          return horalux::GetWebTime(url, *forms, options);
        },
        command_line.url.value_or(std::string(horalux::texts::kDefaultTimeServerUrl)));
  }

  int qt_argc = 1;
  QApplication application(qt_argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral(HORALUX_APP_ID));
  horalux::UseSimplifiedChinese(application);
  horalux::QtMessageBox message_box;
  if (forms_error) {
    message_box.ReportError(*forms_error);
    return 1;
  }
  // The start-up box is made while its request is out, for a time text in the user's forms with
  // every digit.
  message_box.PrepareBox(horalux::FormatDateTime(horalux::OleDate::FromDays(35000.5), *forms) +
                         "0123456789");

  const std::unique_ptr<horalux::Clock> clock = horalux::OpenSystemClock();
  horalux::Form1 window(message_box, *clock, *forms, query);
  window.StartFrom(*started);
  window.show();
  const int status = application.exec();
  // A request whose wait was left (the window closed, or the wait cancelled) may still be running
  // on its own thread, for up to the request's time-out. The thread owns everything of ours it
  // uses, but libcurl's and OpenSSL's global state are torn down by the static destructors and
  // atexit handlers of a normal exit, beneath a transfer that may still be using them. Nothing is
  // left to save or flush, so end at once without them; the system closes the connections.
  if (window.LeftARequestRunning() || !started->Ended()) std::quick_exit(status);
  return status;
}
