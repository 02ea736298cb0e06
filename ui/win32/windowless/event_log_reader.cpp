#include "ui/win32/windowless/event_log_reader.h"

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string_view>
#include <type_traits>

#include "runtime/base/windows_text.h"
#include "schedule/event_source_windows.h"
#include "ui/win32/windowless/event_log.h"

namespace horalux {
namespace {

struct EventLogCloser {
  void operator()(HANDLE log) const noexcept { ::CloseEventLog(log); }
};
using EventLogHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, EventLogCloser>;

std::string_view OutcomeOf(DWORD id) {
  switch (static_cast<RunEventId>(id)) {
    case RunEventId::kMeasured:
      return "已测量";
    case RunEventId::kSet:
      return "已校正";
    case RunEventId::kAlreadyRight:
      return "无需校正";
    case RunEventId::kFailed:
      return "失败";
    case RunEventId::kUsageError:
      return "用法错误";
  }
  return "其他";
}

// An event's time, seconds since 1970 in UTC, as local time.
std::string LocalTimeText(DWORD seconds) {
  ULARGE_INTEGER ticks;
  ticks.QuadPart = (static_cast<ULONGLONG>(seconds) + 11644473600ULL) * 10000000ULL;
  const FILETIME utc{ticks.LowPart, ticks.HighPart};
  FILETIME local{};
  SYSTEMTIME time{};
  if (!::FileTimeToLocalFileTime(&utc, &local) || !::FileTimeToSystemTime(&local, &time))
    return "?";
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", time.wYear, time.wMonth,
                time.wDay, time.wHour, time.wMinute, time.wSecond);
  return text;
}

// The lines of one of our events.
void AppendEvent(const EVENTLOGRECORD& record, std::vector<std::string>& lines) {
  const auto* base = reinterpret_cast<const BYTE*>(&record);
  std::string text;
  const auto* string = reinterpret_cast<const wchar_t*>(base + record.StringOffset);
  for (WORD i = 0; i < record.NumStrings; ++i) {
    const std::wstring_view one(string);
    if (i != 0) text += '\n';
    text += WideToUtf8(one);
    string += one.size() + 1;
  }
  const DWORD id = record.EventID & 0xFFFF;
  std::string head = LocalTimeText(record.TimeGenerated) + "（" + std::to_string(id) + " " +
                     std::string(OutcomeOf(id)) + "）";
  std::size_t start = 0;
  bool first = true;
  while (start <= text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(first ? head + " " + line : "    " + line);
    first = false;
    start = end + 1;
  }
}

}  // namespace

std::vector<std::string> RecentRunLines(std::size_t most_runs) {
  std::vector<std::string> lines;
  const EventLogHandle log(::OpenEventLogW(nullptr, L"Application"));
  if (!log) return lines;
  std::vector<BYTE> buffer(64 * 1024);
  std::size_t runs = 0;
  while (runs < most_runs) {
    DWORD read = 0;
    DWORD needed = 0;
    if (!::ReadEventLogW(log.get(), EVENTLOG_SEQUENTIAL_READ | EVENTLOG_BACKWARDS_READ, 0,
                         buffer.data(), static_cast<DWORD>(buffer.size()), &read, &needed)) {
      if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
      buffer.resize(needed);
      continue;
    }
    for (DWORD at = 0; at < read && runs < most_runs;) {
      const auto& record = *reinterpret_cast<const EVENTLOGRECORD*>(buffer.data() + at);
      const auto* source = reinterpret_cast<const wchar_t*>(buffer.data() + at + sizeof record);
      if (std::wstring_view(source) == kEventSourceName) {
        AppendEvent(record, lines);
        ++runs;
      }
      if (record.Length == 0) break;
      at += record.Length;
    }
  }
  return lines;
}

}  // namespace horalux
