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
inline constexpr std::string_view kHelpBody =
    "从网站 HTTP 应答的 Date 头获取时间，换算为北京时间（UTC+8），设置计算机的日期和时间。\n"
    "\n"
    "  网址        获取时间的网站（http 或 https），代替窗口中默认的 http://www.baidu.com/\n"
    "  --help      显示本说明并退出\n"
    "  --version   显示版本并退出\n";
inline constexpr std::string_view kUnknownOption = "不认识的选项";
inline constexpr std::string_view kMoreThanOneUrl = "只能给出一个网址，却给出了多个：";
inline constexpr std::string_view kSeeHelpBefore = "运行“";
inline constexpr std::string_view kSeeHelpAfter = " --help”查看说明。";

// A public site whose home page is served over plain http with a Date header.
inline constexpr std::string_view kDefaultTimeServerUrl = "http://www.baidu.com/";

}  // namespace horalux::texts
