// What a windowless run's report becomes in the event log: the type and ID by the outcome, and
// every line once, the summary first (Event Viewer lists an event by its first line).
#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "runtime/base/windows_text.h"

#include "ui/win32/windowless/windowless_run.h"

namespace horalux {
namespace {

TEST(WindowlessEvent, TypeAndIdFollowTheOutcomeAndEveryLineIsThereOnce) {
  using Outcome = SyncReport::Outcome;
  const struct {
    Outcome outcome;
    std::vector<std::string> errors;
    EventType type;
    RunEventId id;
    const char* text;
  } cases[] = {
      {Outcome::kMeasured, {}, EventType::kInformation, RunEventId::kMeasured, "总结\n甲\n乙"},
      // A site that failed is on its line already, and is not said twice.
      {Outcome::kSet, {"乙"}, EventType::kWarning, RunEventId::kSet, "总结\n甲\n乙"},
      {Outcome::kAlreadyRight,
       {},
       EventType::kInformation,
       RunEventId::kAlreadyRight,
       "总结\n甲\n乙"},
      // The clock's refusal is on no site's line.
      {Outcome::kFailed,
       {"总结", "拒绝"},
       EventType::kError,
       RunEventId::kFailed,
       "总结\n甲\n乙\n拒绝"},
  };
  for (const auto& c : cases) {
    SyncReport report;
    report.outcome = c.outcome;
    report.site_lines = {"甲", "乙"};
    report.summary = "总结";
    report.errors = c.errors;
    const RunEvent event = EventOf(report);
    EXPECT_EQ(event.type, c.type) << c.text;
    EXPECT_EQ(event.id, c.id) << c.text;
    EXPECT_EQ(event.text, c.text);
  }
}

// Event Viewer words an event by the source's message table (linked into this test as into both
// programs): an ID missing from it shows as "description not found" before the text.
TEST(WindowlessEvent, TheMessageTableWordsEveryEventAsItsTextAlone) {
  const std::wstring text = L"总结\r\n甲";
  for (const RunEventId id : {RunEventId::kMeasured, RunEventId::kSet, RunEventId::kAlreadyRight,
                              RunEventId::kFailed, RunEventId::kUsageError}) {
    const DWORD_PTR arguments[] = {reinterpret_cast<DWORD_PTR>(text.c_str())};
    wchar_t worded[64] = {};
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ARGUMENT_ARRAY, nullptr,
        static_cast<DWORD>(id), MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED), worded, 64,
        reinterpret_cast<va_list*>(const_cast<DWORD_PTR*>(arguments)));
    EXPECT_EQ(std::wstring(worded, length), text)
        << static_cast<DWORD>(id) << ": " << WindowsErrorNote(::GetLastError());
  }
}

}  // namespace
}  // namespace horalux
