// URLs as libcurl reads them: the check every libcurl transfer makes before anything goes out, and
// the host a URL names, for the messages.
#pragma once

#include <string>
#include <string_view>

namespace horalux {

// Refuses every URL but a well-formed absolute http or https one with ErrorKind::kInvalidUrl
// naming it, and returns its host.
std::string CheckedHost(std::string_view url_text);

// The host part of a URL, or an empty text when it has none or is not a URL.
std::string HostOfUrlText(const char* url_text);

// The scheme and host of a URL libcurl went to; empty texts where it has none.
struct SchemeAndHost {
  std::string scheme;
  std::string host;
};
SchemeAndHost SchemeAndHostOf(const char* url_text);

}  // namespace horalux
