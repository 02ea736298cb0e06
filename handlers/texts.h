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

// A public site whose home page is served over plain http with a Date header.
inline constexpr std::string_view kDefaultTimeServerUrl = "http://www.baidu.com/";

}  // namespace horalux::texts
