// The texts of the window and its boxes (caption, labels, button, the two prompts) and the site it
// asks for the time until the user types another: one home for both front ends. What a failure
// says is worded from tables beside the codes it translates: each error kind's title in
// runtime/base/error.cpp, a failed request's cause and advice in webtime/request_failure.cpp, a
// refused clock's in runtime/clock/clock_failure.cpp. A text that is not a date or a time, and an
// unexpected internal error, are worded where they are found.
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
inline constexpr std::string_view kHelpBody =
    "从网站 HTTP 应答的 Date 头获取时间，换算为北京时间（UTC+8），设置计算机的日期和时间。\n"
    "\n"
    "  网址        获取时间的网站（http 或 https），代替窗口中默认的 http://www.baidu.com/\n"
    "  --schedule [网址 ...] [--proxy 代理网址]\n"
    "              定时校正（需要管理员权限）：开机后和此后每小时按这些网站（最多 8 个）\n"
    "              校正系统时钟，不给网址时用默认的网站；再次运行则替换原来的设置\n"
    "  --unschedule  停止定时校正\n"
    "  --status    显示定时校正的设置、下次和上次运行及其结果\n"
    "  --help      显示本说明并退出\n"
    "  --version   显示版本并退出\n";
inline constexpr std::string_view kUnknownOption = "不认识的选项";
inline constexpr std::string_view kProxyWithoutUrl = "“--proxy”后面应给出代理的网址。";
inline constexpr std::string_view kNotWith = "不能与 ";
inline constexpr std::string_view kNotWithAfter = " 同用。";
inline constexpr std::string_view kTakesNoUrl = " 不接受网址，却给出了";
inline constexpr std::string_view kMoreThanOneUrl = "只能给出一个网址，却给出了多个：";
inline constexpr std::string_view kSeeHelpBefore = "运行“";
inline constexpr std::string_view kSeeHelpAfter = " --help”查看说明。";

// A public site whose home page is served over plain http with a Date header.
inline constexpr std::string_view kDefaultTimeServerUrl = "http://www.baidu.com/";

}  // namespace horalux::texts
