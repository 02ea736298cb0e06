#include "schedule/event_source_windows.h"

#include <windows.h>

#include "runtime/base/error.h"
#include "runtime/base/windows_handles.h"
#include "runtime/base/windows_text.h"

namespace horalux {
namespace {

// The key of the source under the Application log, as the event log service reads it; the MSI
// writes the same values (packaging/windows/horalux.wxs).
constexpr wchar_t kSourceKey[] =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Horalux";
// Information, warning and error: the types the runs report.
constexpr DWORD kTypesSupported =
    EVENTLOG_INFORMATION_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_ERROR_TYPE;

void CheckRegistry(LSTATUS status) {
  if (status != ERROR_SUCCESS) {
    throw Error(ErrorKind::kSystem, "无法在注册表中登记事件日志来源 Horalux（" +
                                        WindowsErrorNote(static_cast<DWORD>(status)) +
                                        "）；请以管理员身份运行");
  }
}

}  // namespace

void RegisterEventMessages(const std::wstring& program) {
  HKEY opened = nullptr;
  CheckRegistry(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kSourceKey, 0, nullptr, 0, KEY_SET_VALUE,
                                  nullptr, &opened, nullptr));
  const UniqueKey key(opened);
  const auto bytes = static_cast<DWORD>((program.size() + 1) * sizeof(wchar_t));
  CheckRegistry(::RegSetValueExW(key.get(), L"EventMessageFile", 0, REG_EXPAND_SZ,
                                 reinterpret_cast<const BYTE*>(program.c_str()), bytes));
  CheckRegistry(::RegSetValueExW(key.get(), L"TypesSupported", 0, REG_DWORD,
                                 reinterpret_cast<const BYTE*>(&kTypesSupported),
                                 sizeof kTypesSupported));
}

}  // namespace horalux
