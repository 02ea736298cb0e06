#include "schedule/scheduled_urls.h"

#include <algorithm>
#include <cctype>
#include <string_view>

#include "runtime/base/error.h"

namespace horalux {
namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
           return std::tolower(static_cast<unsigned char>(a)) == b;
         });
}

}  // namespace

void CheckScheduledUrls(const std::vector<std::string>& urls) {
  if (urls.empty() || urls.size() > kMostScheduledUrls) {
    throw Error(ErrorKind::kInvalidUrl, "定时校正需要 1 到 " + std::to_string(kMostScheduledUrls) +
                                            " 个网址，却给出了 " + std::to_string(urls.size()) +
                                            " 个");
  }
  for (const std::string& url : urls) {
    if (!StartsWithNoCase(url, "http://") && !StartsWithNoCase(url, "https://")) {
      throw Error(
          ErrorKind::kInvalidUrl,
          Quoted(url) + "不是 http 或 https 网址。请给出如 http://intranet.example/ 的网址");
    }
    const bool printable = std::all_of(url.begin(), url.end(), [](char c) {
      const auto byte = static_cast<unsigned char>(c);
      return byte > ' ' && byte != 0x7f;
    });
    if (!printable) {
      throw Error(ErrorKind::kInvalidUrl, Quoted(url) + "含有空白或控制字符。请检查网址");
    }
  }
}

}  // namespace horalux
