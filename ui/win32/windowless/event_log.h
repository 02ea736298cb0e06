// The Windows event log as a report's last resort: where a run has no console and no output of
// its own (a scheduled task), what it would have printed goes to the Application log under the
// source "Horalux", one event per run, its type and event ID by the run's outcome.
#pragma once

#include <windows.h>

#include <string_view>

namespace horalux {

enum class EventType { kInformation, kWarning, kError };

// The event IDs of the windowless runs, one per outcome, so that a filter in Event Viewer or a
// script (Get-WinEvent) can tell them apart without reading the text.
enum class RunEventId : DWORD {
  kMeasured = 100,      // --query measured the offset
  kSet = 101,           // --sync corrected the clock
  kAlreadyRight = 102,  // --sync found nothing to correct
  kFailed = 200,        // nothing measured, no agreement, or the clock refused
  kUsageError = 201,    // the command line was not understood
};

// The log's source, registered for the lifetime of the object.
class EventLog {
 public:
  // Raises horalux::Error (ErrorKind::kSystem) when Windows will not register the source.
  EventLog();
  EventLog(const EventLog&) = delete;
  EventLog& operator=(const EventLog&) = delete;
  ~EventLog();

  // One event carrying `text` (UTF-8, lines separated by "\n") as its one string. Raises
  // horalux::Error (ErrorKind::kSystem) when Windows does not take it.
  void Report(EventType type, RunEventId id, std::string_view text);

 private:
  HANDLE source_;
};

}  // namespace horalux
