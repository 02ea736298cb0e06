#include "runtime/clock/clock_settime.h"

#include <cerrno>
#include <ctime>
#include <string>

#include "runtime/base/error.h"
#include "runtime/clock/refusal_linux.h"

namespace horalux {

void SetWithClockSettime(std::chrono::sys_time<std::chrono::microseconds> utc,
                         std::chrono::local_seconds wanted, std::string_view why_direct) {
  const auto whole_seconds = std::chrono::floor<std::chrono::seconds>(utc);
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

}  // namespace horalux
