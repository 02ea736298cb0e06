#include "runtime/clock/clock_linux.h"

#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "runtime/base/error.h"
#include "runtime/clock/sd_bus_handles.h"
#include "runtime/clock/zone_rules.h"

namespace horalux {

namespace {

using std::chrono::days;
using std::chrono::floor;
using std::chrono::local_seconds;
using std::chrono::microseconds;
using std::chrono::seconds;
using std::chrono::sys_seconds;
using std::chrono::sys_time;

constexpr const char* kTimedatedName = "org.freedesktop.timedate1";
constexpr const char* kTimedatedPath = "/org/freedesktop/timedate1";
constexpr const char* kTimedatedInterface = "org.freedesktop.timedate1";

constexpr const char* kPolkitName = "org.freedesktop.PolicyKit1";
constexpr const char* kPolkitPath = "/org/freedesktop/PolicyKit1/Authority";
constexpr const char* kPolkitInterface = "org.freedesktop.PolicyKit1.Authority";
constexpr const char* kSetTimeAction = "org.freedesktop.timedate1.set-time";
constexpr std::uint32_t kAllowUserInteraction = 1;

// Long enough for a user to read a password prompt and type the password, short enough that a
// hung service cannot freeze the program for good.
constexpr std::chrono::minutes kCallTimeout{2};
// The prompt of Authorize has no other limit: polkit waits for its agent as long as it takes.
constexpr std::chrono::minutes kAuthorizationTimeout{5};

constexpr const char* kAutomaticTimeSyncEnabled =
    "org.freedesktop.timedate1.AutomaticTimeSyncEnabled";
constexpr const char* kPolkitNotAuthorized = "org.freedesktop.PolicyKit1.Error.NotAuthorized";
constexpr const char* kPolkitCancelled = "org.freedesktop.PolicyKit1.Error.Cancelled";

// The refusals that Authorize and the settings share: their cause and what the user can do.
constexpr const char* kCancelledCause = "管理员身份验证被取消，系统时间未更改";
constexpr const char* kCancelledRemedy = "请重试，并在身份验证窗口中输入管理员密码";
constexpr const char* kNotAuthorizedCause = "身份验证未通过，系统拒绝修改时间";
constexpr const char* kNotAuthorizedRemedy =
    "请在身份验证窗口中输入管理员密码，或以 root 身份运行本程序";
constexpr const char* kNoAgentCause =
    "修改系统时间需要管理员身份验证，但没有能询问密码的身份验证代理（polkit agent）";
constexpr const char* kNoAgentRemedy = "请在图形桌面会话中运行本程序，或以 root 身份运行";

std::string FormatLocal(local_seconds time) {
  const auto day = floor<days>(time);
  const std::chrono::year_month_day date{day};
  const std::chrono::hh_mm_ss<seconds> clock_time{time - day};
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u %02d:%02d:%02d", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()),
                static_cast<int>(clock_time.hours().count()),
                static_cast<int>(clock_time.minutes().count()),
                static_cast<int>(clock_time.seconds().count()));
  return text;
}

// A refusal's message: the cause, the local time that was wanted, then what the user can do.
std::string Explain(std::string_view cause, local_seconds wanted, std::string_view remedy) {
  std::string text(cause);
  text += "（要设为本地时间 ";
  text += Quoted(FormatLocal(wanted));
  text += "）";
  if (!remedy.empty()) {
    text += "。";
    text += remedy;
  }
  return text;
}

std::string DescribeBusError(const BusError& error) {
  std::string text = error.name();
  if (*error.message() != '\0') {
    text += "：";
    text += error.message();
  }
  return text;
}

// The names under which the bus says nobody answers for a service: for timedated, the clock is
// then set directly; for polkit, there is nobody to ask before.
bool MeansNoService(const BusError& error) {
  return error.has_name(SD_BUS_ERROR_SERVICE_UNKNOWN) ||
         error.has_name(SD_BUS_ERROR_NAME_HAS_NO_OWNER) ||
         // Activation was tried and the service could not be started.
         std::string_view(error.name()).starts_with("org.freedesktop.DBus.Error.Spawn.");
}

[[noreturn]] void ThrowBusRefusal(const BusError& error, int result, local_seconds wanted) {
  if (error.has_name(kAutomaticTimeSyncEnabled)) {
    throw Error(ErrorKind::kClockRefused,
                Explain("系统开启了自动时间同步（NTP），systemd-timedated 不接受手动设置的时间",
                        wanted, "请先运行 timedatectl set-ntp false 关闭自动时间同步，再重试"));
  }
  if (error.has_name(kPolkitCancelled)) {
    throw Error(ErrorKind::kClockRefused, Explain(kCancelledCause, wanted, kCancelledRemedy));
  }
  if (error.has_name(kPolkitNotAuthorized) || error.has_name(SD_BUS_ERROR_ACCESS_DENIED)) {
    throw Error(ErrorKind::kClockRefused,
                Explain(std::string(kNotAuthorizedCause) + "（" + DescribeBusError(error) + "）",
                        wanted, kNotAuthorizedRemedy));
  }
  if (error.has_name(SD_BUS_ERROR_INTERACTIVE_AUTHORIZATION_REQUIRED)) {
    throw Error(ErrorKind::kClockRefused, Explain(kNoAgentCause, wanted, kNoAgentRemedy));
  }
  // timedated gives polkit 25 s and then answers NoReply: the prompt was left too long. (Our own
  // time-out of the call shows as Timeout instead.)
  if (error.has_name(SD_BUS_ERROR_NO_REPLY)) {
    throw Error(
        ErrorKind::kClockRefused,
        Explain("身份验证窗口超过 25 秒没有得到答复，systemd-timedated 不再等待，时间未设置",
                wanted, "请重新设置时间，并在身份验证窗口出现后 25 秒内输入管理员密码"));
  }
  if (result == -ETIMEDOUT || error.has_name(SD_BUS_ERROR_TIMEOUT)) {
    throw Error(ErrorKind::kClockRefused,
                Explain("systemd-timedated 在 2 分钟内没有答复，系统时间可能未更改", wanted,
                        "请重试；若出现身份验证窗口，请及时输入管理员密码"));
  }
  if (error.is_set()) {
    throw Error(ErrorKind::kClockRefused,
                Explain("systemd-timedated 拒绝设置时间：" + DescribeBusError(error), wanted, ""));
  }
  const std::string cause =
      SystemError(ErrorKind::kClockRefused, -result, "与 systemd-timedated 通信失败").detail();
  throw Error(ErrorKind::kClockRefused, Explain(cause, wanted, "请重试"));
}

// Asks timedated to set the clock. Returns why timedated could not be reached, if it could not;
// raises the error if it was reached and refused.
std::optional<std::string> SetThroughTimedated(sys_time<microseconds> utc, local_seconds wanted) {
  sd_bus* raw_bus = nullptr;
  int result = sd_bus_open_system(&raw_bus);
  BusHandle bus(raw_bus);
  if (result < 0) {
    return std::string("无法连接系统总线（") + std::strerror(-result) + "）";
  }

  sd_bus_message* raw_call = nullptr;
  result = sd_bus_message_new_method_call(bus.get(), &raw_call, kTimedatedName, kTimedatedPath,
                                          kTimedatedInterface, "SetTime");
  MessageHandle call(raw_call);
  if (result >= 0) {
    const std::int64_t usec_utc = utc.time_since_epoch().count();
    const int relative = 0;
    const int interactive = 1;
    result = sd_bus_message_append(call.get(), "xbb", usec_utc, relative, interactive);
  }
  if (result >= 0) {
    // Without this flag polkit answers at once that authentication is required instead of asking.
    result = sd_bus_message_set_allow_interactive_authorization(call.get(), 1);
  }
  if (result < 0) {
    const std::string cause =
        SystemError(ErrorKind::kClockRefused, -result, "无法构造发给 systemd-timedated 的请求")
            .detail();
    throw Error(ErrorKind::kClockRefused, Explain(cause, wanted, ""));
  }

  BusError error;
  sd_bus_message* raw_reply = nullptr;
  const auto timeout = std::chrono::duration_cast<microseconds>(kCallTimeout).count();
  result = sd_bus_call(bus.get(), call.get(), static_cast<std::uint64_t>(timeout), error.get(),
                       &raw_reply);
  MessageHandle reply(raw_reply);
  if (result >= 0) return std::nullopt;
  if (MeansNoService(error)) {
    return "系统总线上没有 systemd-timedated（" + DescribeBusError(error) + "）";
  }
  ThrowBusRefusal(error, result, wanted);
}

[[noreturn]] void ThrowAuthorizationRefusal(std::string_view cause, std::string_view remedy) {
  std::string text(cause);
  text += "。";
  text += remedy;
  throw Error(ErrorKind::kClockRefused, std::move(text));
}

// polkit's answer (bba{ss}): whether authorized; whether a password could make it so; details,
// among them whether the user dismissed the prompt.
struct PolkitAnswer {
  bool authorized = false;
  bool challenge = false;
  bool dismissed = false;
};

std::optional<PolkitAnswer> ReadPolkitAnswer(sd_bus_message* reply) {
  PolkitAnswer answer;
  int authorized = 0;
  int challenge = 0;
  if (sd_bus_message_enter_container(reply, 'r', "bba{ss}") <= 0 ||
      sd_bus_message_read(reply, "bb", &authorized, &challenge) < 0 ||
      sd_bus_message_enter_container(reply, 'a', "{ss}") <= 0) {
    return std::nullopt;
  }
  answer.authorized = authorized != 0;
  answer.challenge = challenge != 0;
  while (true) {
    const int entered = sd_bus_message_enter_container(reply, 'e', "ss");
    if (entered < 0) return std::nullopt;
    if (entered == 0) break;
    const char* key = nullptr;
    const char* value = nullptr;
    if (sd_bus_message_read(reply, "ss", &key, &value) < 0 ||
        sd_bus_message_exit_container(reply) < 0) {
      return std::nullopt;
    }
    if (std::string_view(key) == "polkit.dismissed" && std::string_view(value) == "true") {
      answer.dismissed = true;
    }
  }
  return answer;
}

// Asks polkit whether this process may have timedated set the clock, letting it prompt for a
// password. polkit keeps a granted auth_admin_keep for the process (not for the connection), so
// the SetTime calls that follow, each on a connection of its own, pass without a prompt.
void AuthorizeThroughPolkit() {
  sd_bus* raw_bus = nullptr;
  int result = sd_bus_open_system(&raw_bus);
  BusHandle bus(raw_bus);
  // Without a system bus there is nobody to ask; setting the clock says why it cannot go that way.
  if (result < 0) return;

  const char* unique_name = nullptr;
  result = sd_bus_get_unique_name(bus.get(), &unique_name);
  sd_bus_message* raw_call = nullptr;
  if (result >= 0) {
    result = sd_bus_message_new_method_call(bus.get(), &raw_call, kPolkitName, kPolkitPath,
                                            kPolkitInterface, "CheckAuthorization");
  }
  MessageHandle call(raw_call);
  if (result >= 0) {
    // The subject is this connection's unique name; no details; no cancellation id.
    result = sd_bus_message_append(call.get(), "(sa{sv})sa{ss}us", "system-bus-name", 1, "name",
                                   "s", unique_name, kSetTimeAction, 0, kAllowUserInteraction, "");
  }
  if (result < 0) {
    throw SystemError(ErrorKind::kClockRefused, -result, "无法构造发给 polkit 的身份验证请求");
  }

  BusError error;
  sd_bus_message* raw_reply = nullptr;
  const auto timeout = std::chrono::duration_cast<microseconds>(kAuthorizationTimeout).count();
  result = sd_bus_call(bus.get(), call.get(), static_cast<std::uint64_t>(timeout), error.get(),
                       &raw_reply);
  MessageHandle reply(raw_reply);
  if (result < 0) {
    if (error.has_name(kPolkitCancelled))
      ThrowAuthorizationRefusal(kCancelledCause, kCancelledRemedy);
    if (result == -ETIMEDOUT || error.has_name(SD_BUS_ERROR_TIMEOUT) ||
        error.has_name(SD_BUS_ERROR_NO_REPLY)) {
      ThrowAuthorizationRefusal("身份验证窗口在 5 分钟内没有得到答复，系统时间未更改",
                                "请重试，并及时在身份验证窗口中输入管理员密码");
    }
    // No polkit on the bus, or one that cannot answer for the action (timedated not installed,
    // say): go on as without this step. timedated still asks polkit itself before it sets.
    return;
  }
  const std::optional<PolkitAnswer> answer = ReadPolkitAnswer(reply.get());
  // An answer that cannot be read proves nothing either way; timedated will ask for itself.
  if (!answer || answer->authorized) return;
  if (answer->dismissed) ThrowAuthorizationRefusal(kCancelledCause, kCancelledRemedy);
  if (answer->challenge) ThrowAuthorizationRefusal(kNoAgentCause, kNoAgentRemedy);
  ThrowAuthorizationRefusal(std::string(kNotAuthorizedCause) + "，系统时间未更改",
                            kNotAuthorizedRemedy);
}

void SetDirectly(sys_time<microseconds> utc, local_seconds wanted, std::string_view why_direct) {
  const auto whole_seconds = floor<seconds>(utc);
  std::timespec moment{};
  moment.tv_sec = static_cast<std::time_t>(whole_seconds.time_since_epoch().count());
  moment.tv_nsec = static_cast<long>((utc - whole_seconds).count() * 1000);
  if (::clock_settime(CLOCK_REALTIME, &moment) == 0) return;
  const int error = errno;
  std::string cause(why_direct);
  std::string_view remedy;
  if (error == EPERM) {
    cause += "，只能直接设置系统时钟，而这需要 root 权限或 CAP_SYS_TIME 能力";
    remedy = "请以 root 身份运行本程序，或启用 systemd-timedated 后在身份验证窗口中输入管理员密码";
  } else {
    cause += "，直接设置系统时钟也失败了";
  }
  // The system's own words follow the cause they belong to, ahead of the remedy.
  const std::string cause_with_errno = SystemError(ErrorKind::kClockRefused, error, cause).detail();
  throw Error(ErrorKind::kClockRefused, Explain(cause_with_errno, wanted, remedy));
}

class LinuxClock : public Clock {
 public:
  LinuxClock(NowSource now, bool as_root) : now_(std::move(now)), as_root_(as_root) {}

  void Authorize() override {
    if (!as_root_) AuthorizeThroughPolkit();
  }

  void SetLocalDate(std::chrono::year_month_day date) override {
    if (!date.ok()) {
      throw Error(ErrorKind::kTypeMismatch, "不是有效的日期，系统日期未更改");
    }
    const auto now = floor<microseconds>(now_());
    const auto now_seconds = floor<seconds>(now);
    const local_seconds local_now = UtcToLocal(now_seconds);
    const local_seconds wanted =
        std::chrono::local_days{date} + (local_now - floor<days>(local_now));
    // The fraction of the running second is part of the time of day being kept.
    Set(wanted, LocalToUtc(wanted) + (now - now_seconds));
  }

  void SetLocalTimeOfDay(seconds time_of_day) override {
    CheckTimeOfDay(time_of_day);
    const local_seconds local_now = UtcToLocal(floor<seconds>(now_()));
    const local_seconds wanted = floor<days>(local_now) + time_of_day;
    Set(wanted, LocalToUtc(wanted));
  }

 private:
  static void Set(local_seconds wanted, sys_time<microseconds> utc) {
    // Neither timedated nor the kernel takes a time before the epoch.
    if (utc < sys_seconds{}) {
      throw Error(ErrorKind::kClockRefused,
                  Explain("系统时钟不能设到 1970-01-01 00:00:00（UTC）之前", wanted, ""));
    }
    if (const auto why_direct = SetThroughTimedated(utc, wanted)) {
      SetDirectly(utc, wanted, *why_direct);
    }
  }

  NowSource now_;
  bool as_root_;
};

}  // namespace

std::unique_ptr<Clock> OpenLinuxClock(NowSource now, bool as_root) {
  return std::make_unique<LinuxClock>(std::move(now), as_root);
}

std::unique_ptr<Clock> OpenSystemClock() {
  return OpenLinuxClock([] { return std::chrono::system_clock::now(); }, ::geteuid() == 0);
}

}  // namespace horalux
