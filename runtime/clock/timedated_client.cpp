#include "runtime/clock/timedated_client.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "runtime/base/error.h"
#include "runtime/clock/polkit_client.h"
#include "runtime/clock/refusal_linux.h"
#include "runtime/clock/sd_bus_handles.h"

namespace horalux {

namespace {

using std::chrono::local_seconds;
using std::chrono::microseconds;
using std::chrono::sys_time;

constexpr const char* kTimedatedName = "org.freedesktop.timedate1";
constexpr const char* kTimedatedPath = "/org/freedesktop/timedate1";
constexpr const char* kTimedatedInterface = "org.freedesktop.timedate1";

// Long enough for a user to read a password prompt and type the password, short enough that a
// hung service cannot freeze the program for good.
constexpr std::chrono::minutes kCallTimeout{2};

constexpr const char* kAutomaticTimeSyncEnabled =
    "org.freedesktop.timedate1.AutomaticTimeSyncEnabled";

std::string DescribeBusError(const BusError& error) {
  std::string text = error.name();
  if (*error.message() != '\0') {
    text += "：";
    text += error.message();
  }
  return text;
}

// The names under which the bus says nobody answers for timedated: the clock is then set directly.
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

}  // namespace

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

}  // namespace horalux
