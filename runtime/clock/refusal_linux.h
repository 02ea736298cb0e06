// The Linux clock's refusals as the user reads them: the cause, the local time that was wanted and
// what the user can do; shared by the timedated client, the polkit client and clock_settime.
#pragma once

#include <chrono>
#include <string>
#include <string_view>

namespace horalux {

// The refusals that Authorize and the settings share: their cause and what the user can do.
inline constexpr std::string_view kCancelledCause = "管理员身份验证被取消，系统时间未更改";
inline constexpr std::string_view kCancelledRemedy = "请重试，并在身份验证窗口中输入管理员密码";
inline constexpr std::string_view kNotAuthorizedCause = "身份验证未通过，系统拒绝修改时间";
inline constexpr std::string_view kNotAuthorizedRemedy =
    "请在身份验证窗口中输入管理员密码，或以 root 身份运行本程序";
inline constexpr std::string_view kNoAgentCause =
    "修改系统时间需要管理员身份验证，但没有能询问密码的身份验证代理（polkit agent）";
inline constexpr std::string_view kNoAgentRemedy =
    "请在图形桌面会话中运行本程序，或以 root 身份运行";

// A refusal's message: the cause, the local time that was wanted, then what the user can do.
std::string Explain(std::string_view cause, std::chrono::local_seconds wanted,
                    std::string_view remedy);

}  // namespace horalux
