#include "runtime/clock/clock.h"

#include <windows.h>

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include "runtime/base/error.h"
#include "runtime/base/windows_text.h"

namespace horalux {

namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// The system's own description of an error code, with the code.
std::string DescribeWindowsError(DWORD code) {
  std::string text = WindowsErrorText(code);
  if (!text.empty()) text += "，";
  return text + "错误代码 " + std::to_string(code);
}

std::string FormatLocal(const SYSTEMTIME& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u", unsigned{time.wYear},
                unsigned{time.wMonth}, unsigned{time.wDay}, unsigned{time.wHour},
                unsigned{time.wMinute}, unsigned{time.wSecond});
  return text;
}

[[noreturn]] void ThrowRefusal(DWORD code, std::string_view cause, const SYSTEMTIME& wanted) {
  std::string detail(cause);
  detail += "（";
  detail += DescribeWindowsError(code);
  detail += "；要设为本地时间 ";
  detail += Quoted(FormatLocal(wanted));
  detail += "）";
  if (code == ERROR_PRIVILEGE_NOT_HELD || code == ERROR_ACCESS_DENIED) {
    detail += "。修改系统时间需要管理员权限：请右键单击本程序，选择“以管理员身份运行”";
  }
  throw Error(ErrorKind::kClockRefused, detail);
}

// Administrators hold the privilege to change the time, but it starts out disabled. Where it is
// not held at all, SetLocalTime says so itself with ERROR_PRIVILEGE_NOT_HELD.
void EnableSystemTimePrivilege(const SYSTEMTIME& wanted) {
  HANDLE raw_token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          &raw_token)) {
    ThrowRefusal(::GetLastError(), "无法打开本进程的访问令牌", wanted);
  }
  UniqueHandle token(raw_token);

  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  // The name and the function follow the same character set, whichever the build chose.
  if (!::LookupPrivilegeValue(nullptr, SE_SYSTEMTIME_NAME, &privileges.Privileges[0].Luid)) {
    ThrowRefusal(::GetLastError(), "无法查到修改系统时间的权限", wanted);
  }
  if (!::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) {
    ThrowRefusal(::GetLastError(), "无法启用修改系统时间的权限", wanted);
  }
}

void SetLocal(const SYSTEMTIME& wanted) {
  EnableSystemTimePrivilege(wanted);
  // The first call converts with the daylight-saving rule in force before the change; the second,
  // now on the new date, with the rule in force after it.
  for (int pass = 0; pass < 2; ++pass) {
    if (!::SetLocalTime(&wanted)) {
      ThrowRefusal(::GetLastError(), "Windows 拒绝修改系统时间", wanted);
    }
  }
}

class WindowsClock : public Clock {
 public:
  void SetLocalDate(std::chrono::year_month_day date) override {
    const int year = static_cast<int>(date.year());
    // SYSTEMTIME counts years from 1601 to 30827.
    if (!date.ok() || year < 1601 || year > 30827) {
      throw Error(ErrorKind::kTypeMismatch, "不是可以设给系统时钟的日期，系统日期未更改");
    }
    SYSTEMTIME wanted{};
    ::GetLocalTime(&wanted);
    wanted.wYear = static_cast<WORD>(year);
    wanted.wMonth = static_cast<WORD>(static_cast<unsigned>(date.month()));
    wanted.wDay = static_cast<WORD>(static_cast<unsigned>(date.day()));
    SetLocal(wanted);
  }

  void SetLocalTimeOfDay(std::chrono::seconds time_of_day) override {
    CheckTimeOfDay(time_of_day);
    const std::chrono::hh_mm_ss<std::chrono::seconds> parts{time_of_day};
    SYSTEMTIME wanted{};
    ::GetLocalTime(&wanted);
    wanted.wHour = static_cast<WORD>(parts.hours().count());
    wanted.wMinute = static_cast<WORD>(parts.minutes().count());
    wanted.wSecond = static_cast<WORD>(parts.seconds().count());
    wanted.wMilliseconds = 0;
    SetLocal(wanted);
  }
};

}  // namespace

std::unique_ptr<Clock> OpenSystemClock() { return std::make_unique<WindowsClock>(); }

}  // namespace horalux
