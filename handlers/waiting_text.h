// What a wait for the web time is for, in a sentence for the user: "正在从 <host> 获取时间……".
#pragma once

#include <string>
#include <string_view>

namespace horalux {

// The host of `url` as typed (without scheme, user, port or path); for text that is no URL with
// a host, the text itself, shortened to a few dozen characters.
std::string HostForDisplay(std::string_view url);

std::string WaitingText(std::string_view url);

}  // namespace horalux
