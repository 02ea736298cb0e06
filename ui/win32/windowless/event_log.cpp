#include "ui/win32/windowless/event_log.h"

#include <string>

#include "runtime/base/error.h"
#include "runtime/base/windows_text.h"
#include "schedule/event_source_windows.h"

namespace horalux {

namespace {

[[noreturn]] void ThrowEventLogFailure(std::string_view what) {
  const DWORD code = ::GetLastError();
  throw Error(ErrorKind::kSystem, std::string(what) + "（" + WindowsErrorNote(code) + "）");
}

WORD TypeOf(EventType type) {
  switch (type) {
    case EventType::kWarning:
      return EVENTLOG_WARNING_TYPE;
    case EventType::kError:
      return EVENTLOG_ERROR_TYPE;
    case EventType::kInformation:
      break;
  }
  return EVENTLOG_INFORMATION_TYPE;
}

// Event Viewer shows a string's line breaks only as CR LF.
std::wstring EventText(std::string_view text) {
  std::wstring lines;
  for (const wchar_t c : Utf8ToWideReplacing(text)) {
    if (c == L'\n') lines += L'\r';
    lines += c;
  }
  return lines;
}

}  // namespace

EventLog::EventLog() : source_(::RegisterEventSourceW(nullptr, kEventSourceName)) {
  if (source_ == nullptr) ThrowEventLogFailure("无法打开 Windows 事件日志");
}

EventLog::~EventLog() { ::DeregisterEventSource(source_); }

void EventLog::Report(EventType type, RunEventId id, std::string_view text) {
  const std::wstring wide = EventText(text);
  const wchar_t* strings[] = {wide.c_str()};
  if (!::ReportEventW(source_, TypeOf(type), 0, static_cast<DWORD>(id), nullptr, 1, 0, strings,
                      nullptr)) {
    ThrowEventLogFailure("无法写入 Windows 事件日志");
  }
}

}  // namespace horalux
