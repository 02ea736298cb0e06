#include "ui/win32/windowless/windowless_run.h"

#include <algorithm>
#include <exception>
#include <memory>

#include "handlers/command_line.h"
#include "runtime/base/error.h"
#include "runtime/base/system_text.h"
#include "runtime/base/wall_clock.h"
#include "runtime/clock/clock.h"
#include "ui/win32/windowless/run_output.h"

namespace horalux {

namespace {

// With no output at all, the event log is the one place left; a log that fails has no one to
// tell.
void LogEvent(const RunEvent& event) noexcept {
  try {
    EventLog().Report(event.type, event.id, event.text);
  } catch (...) {
  }
}

void Report(const SyncReport& report) {
  const RunOutput output;
  if (!output.HasOutput()) {
    LogEvent(EventOf(report));
    return;
  }
  for (const std::string& line : report.site_lines) output.WriteOut(line);
  output.WriteOut(report.summary);
  for (const std::string& error : report.errors) output.WriteError(error);
}

}  // namespace

RunEvent EventOf(const SyncReport& report) {
  RunEvent event;
  switch (report.outcome) {
    case SyncReport::Outcome::kMeasured:
      event.id = RunEventId::kMeasured;
      break;
    case SyncReport::Outcome::kSet:
      event.id = RunEventId::kSet;
      break;
    case SyncReport::Outcome::kAlreadyRight:
      event.id = RunEventId::kAlreadyRight;
      break;
    case SyncReport::Outcome::kFailed:
      event.id = RunEventId::kFailed;
      break;
  }
  event.type = event.id == RunEventId::kFailed ? EventType::kError
               : report.errors.empty()         ? EventType::kInformation
                                               : EventType::kWarning;
  // The summary first: Event Viewer shows an event's first line in its list.
  event.text = report.summary;
  for (const std::string& line : report.site_lines) event.text += "\n" + line;
  for (const std::string& error : report.errors) {
    const bool said = error == report.summary ||
                      std::find(report.site_lines.begin(), report.site_lines.end(), error) !=
                          report.site_lines.end();
    if (!said) event.text += "\n" + error;
  }
  return event;
}

int RunWindowless(const SyncRequest& request) {
  SyncReport report;
  try {
    const WallClock wall_clock;
    // The clock is opened only to be set: --query needs no privilege and asks for none.
    std::unique_ptr<Clock> clock;
    if (request.set_clock) clock = OpenSystemClock();
    report = RunTimeSync(request, SystemSyncServices(wall_clock, clock.get()));
  } catch (const std::exception& failure) {
    // RunTimeSync reports what the world does; this is the program's own fault.
    const std::string what = dynamic_cast<const Error*>(&failure) != nullptr
                                 ? failure.what()
                                 : SystemTextToUtf8(failure.what());
    report.outcome = SyncReport::Outcome::kFailed;
    report.summary = "程序内部出现意外错误（" + what + "），系统时间未更改。";
    report.errors = {report.summary};
    report.exit_status = 1;
  }
  Report(report);
  return report.exit_status;
}

int ReportWindowlessText(std::string_view text) {
  RunOutput().WriteOut(text);
  return 0;
}

int ReportWindowlessUsageError(std::string_view text) {
  while (!text.empty() && text.back() == '\n') text.remove_suffix(1);
  const RunOutput output;
  if (output.HasOutput()) {
    output.WriteError(text);
  } else {
    LogEvent({EventType::kError, RunEventId::kUsageError, std::string(text)});
  }
  return kUsageErrorStatus;
}

}  // namespace horalux
