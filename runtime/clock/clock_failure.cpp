#include "runtime/clock/clock_failure.h"

#include <cstdio>

#include "runtime/base/error.h"

namespace horalux {

namespace {

constexpr std::string_view kNotAuthorizedRemedy =
    "请在身份验证窗口中输入管理员密码，或以 root 身份运行本程序";

}  // namespace

ClockWording WordingOf(ClockFailure failure) {
  switch (failure) {
    case ClockFailure::kAutomaticSyncEnabled:
      return {"系统开启了自动时间同步（NTP），systemd-timedated 不接受手动设置的时间",
              "请先运行 timedatectl set-ntp false 关闭自动时间同步，再重试"};
    case ClockFailure::kAuthenticationCancelled:
      return {"管理员身份验证被取消，系统时间未更改", "请重试，并在身份验证窗口中输入管理员密码"};
    case ClockFailure::kNotAuthorized:
      return {"身份验证未通过，系统拒绝修改时间", kNotAuthorizedRemedy};
    case ClockFailure::kNotAuthorizedBeforehand:
      return {"身份验证未通过，系统拒绝修改时间，系统时间未更改", kNotAuthorizedRemedy};
    case ClockFailure::kNoAuthenticationAgent:
      return {"修改系统时间需要管理员身份验证，但没有能询问密码的身份验证代理（polkit agent）",
              "请在图形桌面会话中运行本程序，或以 root 身份运行"};
    case ClockFailure::kNeedsPrivilegeWithoutPrompt:
      return {"修改系统时间需要管理员权限，系统拒绝修改时间",
              "请用 sudo 运行本命令（如 sudo horalux --sync），或以 root 身份运行"};
    case ClockFailure::kPromptOutlastedTimedated:
      return {"身份验证窗口超过 25 秒没有得到答复，systemd-timedated 不再等待，时间未设置",
              "请重新设置时间，并在身份验证窗口出现后 25 秒内输入管理员密码"};
    case ClockFailure::kPromptUnanswered:
      return {"身份验证窗口在 5 分钟内没有得到答复，系统时间未更改",
              "请重试，并及时在身份验证窗口中输入管理员密码"};
    case ClockFailure::kTimedatedTimedOut:
      return {"systemd-timedated 在 2 分钟内没有答复，系统时间可能未更改",
              "请重试；若出现身份验证窗口，请及时输入管理员密码"};
    case ClockFailure::kTimedatedRefused:
      return {"systemd-timedated 拒绝设置时间：", ""};
    case ClockFailure::kTimedatedUnreachable:
      return {"与 systemd-timedated 通信失败", "请重试"};
    case ClockFailure::kTimedatedRequestNotBuilt:
      return {"无法构造发给 systemd-timedated 的请求", ""};
    case ClockFailure::kPolkitRequestNotBuilt:
      return {"无法构造发给 polkit 的身份验证请求", ""};
    case ClockFailure::kNoSystemBus:
      return {"无法连接系统总线", ""};
    case ClockFailure::kNoTimedated:
      return {"系统总线上没有 systemd-timedated", ""};
    case ClockFailure::kDirectSettingNeedsPrivilege:
      return {
          "只能直接设置系统时钟，而这需要 root 权限或 CAP_SYS_TIME 能力",
          "请以 root 身份运行本程序，或启用 systemd-timedated 后在身份验证窗口中输入管理员密码"};
    case ClockFailure::kDirectSettingFailed:
      return {"直接设置系统时钟也失败了", ""};
    case ClockFailure::kBeforeEpoch:
      return {"系统时钟不能设到 1970-01-01 00:00:00（UTC）之前", ""};
    case ClockFailure::kTokenNotOpened:
      return {"无法打开本进程的访问令牌", ""};
    case ClockFailure::kPrivilegeNotLookedUp:
      return {"无法查到修改系统时间的权限", ""};
    case ClockFailure::kPrivilegeNotEnabled:
      return {"无法启用修改系统时间的权限", ""};
    case ClockFailure::kSettingRefused:
      return {"Windows 拒绝修改系统时间", ""};
    case ClockFailure::kNotElevated:
      return {"修改系统时间需要管理员权限", "请右键单击本程序，选择“以管理员身份运行”"};
    case ClockFailure::kRightWithheldByPolicy:
      return {
          "本程序已获得管理员权限，但本计算机的安全策略没有授予修改系统时间的权限"
          "（本地安全策略 → 用户权限分配 → 更改系统时间）",
          "请联系管理这台计算机的人员，在该策略中授予此权限"};
    case ClockFailure::kNotElevatedWindowless:
      return {"修改系统时间需要管理员权限",
              "请在“以管理员身份运行”的命令提示符或 PowerShell 中运行，或作为计划任务运行"};
    case ClockFailure::kWineKeepsItsClock:
      return {
          "本程序在 Wine 中运行，Wine 只接受与当前时间相差不到 0.5 秒的时间，且从不修改本机时钟",
          "请在 Windows 上运行本程序来校正时钟；在 Linux 上请使用 Linux 版"};
  }
  return {"系统拒绝修改时间", ""};
}

std::string AdjustmentNote(std::chrono::microseconds offset) {
  const auto magnitude = offset < offset.zero() ? -offset : offset;
  const auto milliseconds = (magnitude.count() + 500) / 1000;
  char text[48];
  std::snprintf(text, sizeof text, "%lld.%03lld", static_cast<long long>(milliseconds / 1000),
                static_cast<long long>(milliseconds % 1000));
  return std::string(offset < offset.zero() ? "要将系统时钟调慢 " : "要将系统时钟调快 ") + text +
         " 秒";
}

std::string WantedTimeNote(std::chrono::local_seconds wanted) {
  using std::chrono::days;
  using std::chrono::floor;
  using std::chrono::seconds;
  const auto day = floor<days>(wanted);
  const std::chrono::year_month_day date{day};
  const std::chrono::hh_mm_ss<seconds> clock_time{wanted - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock_time.hours().count()),
                static_cast<int>(clock_time.minutes().count()),
                static_cast<int>(clock_time.seconds().count()));
  return "要设为本地时间 " + Quoted(text);
}

}  // namespace horalux
