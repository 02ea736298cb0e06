#include "runtime/clock/clock_windows.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

#include "runtime/base/error.h"
#include "runtime/base/wall_clock.h"
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

// Why the privilege to change the time is missing, asked only when it is.
using PrivilegeCause = std::function<ClockFailure(DWORD code)>;

// The step that failed, the system's text and code, what was wanted (`wanted_note`); where the
// privilege was missing, why and what the user can do.
[[noreturn]] void ThrowRefusal(ClockFailure step, DWORD code, std::string_view wanted_note,
                               const PrivilegeCause& privilege_cause) {
  std::string detail(WordingOf(step).cause);
  detail += "（";
  detail += WindowsErrorNote(code);
  detail += "；";
  detail += wanted_note;
  detail += "）";
  if (code == ERROR_PRIVILEGE_NOT_HELD || code == ERROR_ACCESS_DENIED) {
    const ClockWording missing = WordingOf(privilege_cause(code));
    detail += "。";
    detail += missing.cause;
    detail += "：";
    detail += missing.remedy;
  }
  throw Error(ErrorKind::kClockRefused, detail);
}

// Administrators hold the privilege to change the time, but it starts out disabled. Where it is
// not held at all, SetLocalTime says so itself with ERROR_PRIVILEGE_NOT_HELD.
void EnableSystemTimePrivilege(std::string_view wanted_note, const PrivilegeCause& cause) {
  HANDLE raw_token = nullptr;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                          &raw_token)) {
    ThrowRefusal(ClockFailure::kTokenNotOpened, ::GetLastError(), wanted_note, cause);
  }
  UniqueHandle token(raw_token);

  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  // The name and the function follow the same character set, whichever the build chose.
  if (!::LookupPrivilegeValue(nullptr, SE_SYSTEMTIME_NAME, &privileges.Privileges[0].Luid)) {
    ThrowRefusal(ClockFailure::kPrivilegeNotLookedUp, ::GetLastError(), wanted_note, cause);
  }
  if (!::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr)) {
    ThrowRefusal(ClockFailure::kPrivilegeNotEnabled, ::GetLastError(), wanted_note, cause);
  }
}

void SetLocal(const SYSTEMTIME& wanted, const ElevationSource& elevation) {
  const std::string wanted_note = WantedTimeNote(ToLocalSeconds(wanted));
  const PrivilegeCause cause = [&elevation](DWORD) { return PrivilegeRefusalCause(elevation()); };
  EnableSystemTimePrivilege(wanted_note, cause);
  // The first call converts with the daylight-saving rule in force before the change; the second,
  // now on the new date, with the rule in force after it.
  for (int pass = 0; pass < 2; ++pass) {
    if (!::SetLocalTime(&wanted)) {
      ThrowRefusal(ClockFailure::kSettingRefused, ::GetLastError(), wanted_note, cause);
    }
  }
}

// Wine's ntdll has an export of its own that Windows' lacks.
bool RunningUnderWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// FILETIME counts 100 ns from 1601-01-01, SYSTEMTIME reaches 30827-12-31.
constexpr long long kFileTimeAtUnixEpoch = 116444736000000000LL;
constexpr long long kLastFileTime = 0x7fff35f4f06c58f0LL;

// The system time, UTC, read as finely as Windows allows, moved by `offset` and rounded to the
// millisecond SetSystemTime takes; nothing when that falls outside SYSTEMTIME's range.
std::optional<SYSTEMTIME> SystemTimeMovedBy(std::chrono::microseconds offset) {
  const std::chrono::milliseconds since_epoch =
      std::chrono::round<std::chrono::milliseconds>(WallClock().Now().time_since_epoch() + offset);
  const long long first = -kFileTimeAtUnixEpoch / 10'000;
  const long long last = (kLastFileTime - kFileTimeAtUnixEpoch) / 10'000;
  if (since_epoch.count() < first || since_epoch.count() > last) return std::nullopt;
  const long long hundreds = since_epoch.count() * 10'000 + kFileTimeAtUnixEpoch;
  FILETIME file_time{static_cast<DWORD>(hundreds & 0xffffffff), static_cast<DWORD>(hundreds >> 32)};
  SYSTEMTIME wanted{};
  if (!::FileTimeToSystemTime(&file_time, &wanted)) return std::nullopt;
  return wanted;
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

  void AdjustBy(std::chrono::microseconds offset) override {
    const std::string wanted_note = AdjustmentNote(offset);
    // Run from a console or by a scheduled task, not from the window: what to do differs, and
    // Wine, which never moves its clock, refuses the time itself whatever the privilege.
    const PrivilegeCause cause = [this](DWORD code) {
      if (code == ERROR_PRIVILEGE_NOT_HELD && RunningUnderWine()) {
        return ClockFailure::kWineKeepsItsClock;
      }
      const ClockFailure missing = PrivilegeRefusalCause(elevation_());
      return missing == ClockFailure::kNotElevated ? ClockFailure::kNotElevatedWindowless : missing;
    };
    EnableSystemTimePrivilege(wanted_note, cause);
    // Read last, just before the call, so that nothing goes stale between reading and setting.
    const std::optional<SYSTEMTIME> wanted = SystemTimeMovedBy(offset);
    if (!wanted) {
      throw Error(ErrorKind::kClockRefused, "校正后的时间超出了 Windows 系统时钟的范围（" +
                                                wanted_note + "），系统时间未更改");
    }
    if (!::SetSystemTime(&*wanted)) {
      ThrowRefusal(ClockFailure::kSettingRefused, ::GetLastError(), wanted_note, cause);
    }
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
