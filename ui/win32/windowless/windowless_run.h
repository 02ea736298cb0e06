// The windowless modes of the Windows programs, --query and --sync, for horalux.exe and for its
// console companion horalux.com alike: the run, and its report written where it can be read (the
// standard output and error, the console of the prompt it was typed at, or else the Application
// event log). Nothing here makes a window or a message box.
#pragma once

#include <string>
#include <string_view>

#include "sync/sync_run.h"
#include "ui/win32/windowless/event_log.h"

namespace horalux {

// The event a report becomes when there is nowhere to print it: its type and ID by the outcome
// (a warning where the run succeeded although a site failed or disagreed), and every line.
struct RunEvent {
  EventType type = EventType::kError;
  RunEventId id = RunEventId::kFailed;
  std::string text;
};
RunEvent EventOf(const SyncReport& report);

// Measures, and with request.set_clock corrects the system clock; returns the exit status.
int RunWindowless(const SyncRequest& request);

// --help or --version among these modes' options: `text` goes to the standard output; returns 0.
int ReportWindowlessText(std::string_view text);

// A command line of these modes that was not understood: `text` is reported as an error, and the
// exit status is the usage error's.
int ReportWindowlessUsageError(std::string_view text);

}  // namespace horalux
