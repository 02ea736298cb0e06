#include "runtime/clock/clock_windows.h"

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>
#include <utility>

#include "runtime/base/error.h"
#include "runtime/base/windows_handles.h"
#include "runtime/base/windows_text.h"

namespace horalux {

namespace {

std::chrono::local_seconds ToLocalSeconds(const SYSTEMTIME& time) {
  const std::chrono::year_month_day date{
      std::chrono::year{time.wYear}, std::chrono::month{time.wMonth}, std::chrono::day{time.wDay}};
  return std::chrono::local_days{date} + std::chrono::hours{time.wHour} +
         std::chrono::minutes{time.wMinute} + std::chrono::seconds{time.wSecond};
}

Elevation QueryElevation() {
  HANDLE raw_token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &raw_token)) {
    return Elevation::kUnknown;
  }
  const UniqueHandle token(raw_token);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (!::GetTokenInformation(token.get(), TokenElevation, &elevation, sizeof elevation, &size)) {
    return Elevation::kUnknown;
  }
  return elevation.TokenIsElevated != 0 ? Elevation::kElevated : Elevation::kNotElevated;
}

// The step that failed, the system's text and code, the local time that was wanted; where the
// privilege was missing, why and what the user can do.
[[noreturn]] void ThrowRefusal(ClockFailure step, DWORD code, const SYSTEMTIME& wanted,
                               const ElevationSource& elevation) {
  std::string detail(WordingOf(step).cause);
  detail += "（";
  detail += WindowsErrorNote(code);
  detail += "；";
  detail += WantedTimeNote(ToLocalSeconds(wanted));
  detail += "）";
  if (code == ERROR_PRIVILEGE_NOT_HELD || code == ERROR_ACCESS_DENIED) {
    const ClockWording missing = WordingOf(PrivilegeRefusalCause(elevation()));
    detail += "。";
    detail += missing.cause;
    detail += "：";
    detail += missing.remedy;
  }
  throw Error(ErrorKind::kClockRefused, detail);
}

// Administrators hold the privilege to change the time, but it starts out disabled. Where it is
// not held at all, SetLocalTime says so itself with ERROR_PRIVILEGE_NOT_HELD.
void EnableSystemTimePrivilege(const SYSTEMTIME& wanted, const ElevationSource& elevation) {
  HANDLE raw_token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          &raw_token)) {
    ThrowRefusal(ClockFailure::kTokenNotOpened, ::GetLastError(), wanted, elevation);
  }
  UniqueHandle token(raw_token);

  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  // The name and the function follow the same character set, whichever the build chose.
  if (!::LookupPrivilegeValue(nullptr, SE_SYSTEMTIME_NAME, &privileges.Privileges[0].Luid)) {
    ThrowRefusal(ClockFailure::kPrivilegeNotLookedUp, ::GetLastError(), wanted, elevation);
  }
  if (!::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) {
    ThrowRefusal(ClockFailure::kPrivilegeNotEnabled, ::GetLastError(), wanted, elevation);
  }
}

void SetLocal(const SYSTEMTIME& wanted, const ElevationSource& elevation) {
  EnableSystemTimePrivilege(wanted, elevation);
  // The first call converts with the daylight-saving rule in force before the change; the second,
  // now on the new date, with the rule in force after it.
  for (int pass = 0; pass < 2; ++pass) {
    if (!::SetLocalTime(&wanted)) {
      ThrowRefusal(ClockFailure::kSettingRefused, ::GetLastError(), wanted, elevation);
    }
  }
}

class WindowsClock : public Clock {
 public:
  explicit WindowsClock(ElevationSource elevation) : elevation_(std::move(elevation)) {}

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
    SetLocal(wanted, elevation_);
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
    SetLocal(wanted, elevation_);
  }

 private:
  ElevationSource elevation_;
};

}  // namespace

ClockFailure PrivilegeRefusalCause(Elevation elevation) {
  switch (elevation) {
    case Elevation::kElevated:
      return ClockFailure::kRightWithheldByPolicy;
    case Elevation::kNotElevated:
    case Elevation::kUnknown:
      break;
  }
  return ClockFailure::kNotElevated;
}

std::unique_ptr<Clock> OpenWindowsClock(ElevationSource elevation) {
  return std::make_unique<WindowsClock>(std::move(elevation));
}

std::unique_ptr<Clock> OpenSystemClock() { return OpenWindowsClock(QueryElevation); }

}  // namespace horalux
