// The texts of the window and its boxes (caption, labels, button, the two prompts) and the site it
// asks for the time until the user types another: one home for both front ends. What a failure
// says is worded from tables beside the codes it translates: a failed request's cause and advice
// in webtime/request_failure.cpp, a refused clock's in runtime/clock/clock_failure.cpp; the
// heading of an error's report and an unexpected internal error in handlers/error_report.cpp. A
// text that is not a date or a time is worded where it is found.
#pragma once

#include <string_view>

namespace horalux::texts {

inline constexpr std::string_view kApplicationTitle = "Horalux";
inline constexpr std::string_view kOkButton = "确定";

inline constexpr std::string_view kWindowCaption = "设置时间";
inline constexpr std::string_view kLabel1 = "获取时间的网站：";
inline constexpr std::string_view kLabel2 = "获取的时间：";
inline constexpr std::string_view kCommand1 = "设置";
// What screen readers call the two boxes: the labels' texts without the colon, which reads badly.
inline constexpr std::string_view kText2AccessibleName = "获取时间的网站";
inline constexpr std::string_view kText1AccessibleName = "获取的时间";

inline constexpr std::string_view kClockSet = "设置时间成功！";
inline constexpr std::string_view kNotATime = "输入时间错误！";

// The small window that says what a wait of over a second is for: the text is built by
// WaitingText (handlers/waiting_text.h) around the host asked.
inline constexpr std::string_view kWaitingBefore = "正在从 ";
inline constexpr std::string_view kWaitingAfter = " 获取时间……";
inline constexpr std::string_view kCancelButton = "取消";

// The command line (handlers/command_line.h), around the program's name and the arguments.
inline constexpr std::string_view kUsageBefore = "用法：";
inline constexpr std::string_view kUsageAfter = " [网址]";
// The windowless modes' usage, after the program's name; it follows the window's line, indented
// under it.
inline constexpr std::string_view kUsageIndent = "      ";
inline constexpr std::string_view kWindowlessUsageAfter =
    " --query|--sync [--proxy 代理网址] [网址 ...]";
inline constexpr std::string_view kScheduleUsageAfter =
    " --schedule [--proxy 代理网址] [网址 ...] | --unschedule | --status";
inline constexpr std::string_view kHelpBody =
    "从网站 HTTP 应答的 Date 头获取时间，换算为北京时间（UTC+8），设置计算机的日期和时间。\n"
    "\n"
    "  网址        获取时间的网站（http 或 https），代替窗口中默认的 http://www.baidu.com/\n"
    "  --help      显示本说明并退出\n"
    "  --version   显示版本并退出\n"
    "\n"
    "不打开窗口，测量本机时钟与网站的偏差（精确到毫秒，并给出误差范围）：\n"
    "  --query     只测量并输出，不更改时钟，无需管理员权限\n"
    "  --sync      测量后按偏差校正系统时钟一次（需要管理员权限）\n"
    "  --proxy 代理网址\n"
    "              所有请求都经过这个代理（如 http://proxy.example:8080），代替系统的代理设置\n"
    "  网址        最多 8 个（http 或 https），同时测量，以多数一致者为准；不给出时用\n"
    "              http://www.baidu.com/\n"
    "每个网站输出一行（主机、偏差、误差、请求次数或失败原因），最后一行是结论；偏差为网站时间减\n"
    "本机时间，正数表示本机时钟慢。校正的是系统时钟（世界时），与时区无关。\n"
    "退出状态：0 测量成功（--sync 时已校正或无需校正）；1 失败，时钟未更改；2 用法错误。\n"
    "\n"
    "定时校正，设置一次即可，此后开机时和每小时自动运行 --sync（需要管理员权限）：\n"
    "  --schedule  按给出的网站（及 --proxy）设置定时校正，不给网址时用 http://www.baidu.com/；\n"
    "              再次运行则替换原来的设置\n"
    "  --unschedule\n"
    "              停止定时校正\n"
    "  --status    显示定时校正的设置、下次和上次运行及其结果\n"
    "退出状态：0 完成；1 失败（原因见标准错误输出）；2 用法错误。\n";
inline constexpr std::string_view kUnknownOption = "不认识的选项";
inline constexpr std::string_view kNotWith = "不能与 ";
inline constexpr std::string_view kNotWithAfter = " 同用。";
inline constexpr std::string_view kTakesNoUrl = " 不接受网址，却给出了";
inline constexpr std::string_view kTakesNoProxy = " 不接受 --proxy。";
inline constexpr std::string_view kMoreThanOneUrl = "只能给出一个网址，却给出了多个：";
inline constexpr std::string_view kSeeHelpBefore = "运行“";
inline constexpr std::string_view kSeeHelpAfter = " --help”查看说明。";
inline constexpr std::string_view kQueryAndSync = "--query 和 --sync 只能选一个。";
inline constexpr std::string_view kProxyWithoutMode =
    "--proxy 只能与 --query、--sync 或 --schedule 一起使用。";
inline constexpr std::string_view kProxyMissing = "--proxy 后面缺少代理的网址。";
inline constexpr std::string_view kTooManyUrlsBefore = "最多只能给出 ";
inline constexpr std::string_view kTooManyUrlsAfter = " 个网址，却给出了 ";
inline constexpr std::string_view kNotAWebUrl = " 不是 http 或 https 网址。";

// A public site whose home page is served over plain http with a Date header.
inline constexpr std::string_view kDefaultTimeServerUrl = "http://www.baidu.com/";

}  // namespace horalux::texts
