#include "webtime/response_headers.h"

#include <algorithm>
#include <stdexcept>

#include "runtime/base/text.h"

namespace horalux {
namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::string_view TrimBlanks(std::string_view text) {
  constexpr std::string_view kBlanks = " \t\r\n";
  const auto first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

// The status code of a status line such as "HTTP/1.1 302 Found" or "HTTP/2 200"; 0 if malformed.
int StatusCode(std::string_view status_line) {
  const auto blank = status_line.find(' ');
  if (blank == std::string_view::npos || status_line.size() < blank + 4) return 0;
  int code = 0;
  for (char digit : status_line.substr(blank + 1, 3)) {
    if (digit < '0' || digit > '9') return 0;
    code = code * 10 + (digit - '0');
  }
  return code;
}

}  // namespace

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

HttpMethod ParseHttpMethod(std::string_view name) {
  if (EqualsIgnoringCase(name, "GET")) return HttpMethod::kGet;
  if (EqualsIgnoringCase(name, "HEAD")) return HttpMethod::kHead;
  if (EqualsIgnoringCase(name, "POST")) return HttpMethod::kPost;
  throw std::logic_error("HttpRequest supports GET, HEAD and POST only");
}

void ResponseHeaders::Clear() {
  fields_.clear();
  status_ = 0;
  complete_ = false;
}

bool ResponseHeaders::TakeLine(std::string_view line) {
  if (StartsWithIgnoringCase(line, "HTTP/")) {
    // A new response begins: an interim one, a redirect, or the final one.
    fields_.clear();
    status_ = StatusCode(line);
    return true;
  }
  if (line == "\r\n" || line == "\n") {
    const bool interim = status_ >= 100 && status_ < 200;
    const bool redirect = status_ >= 300 && status_ < 400 &&
                          std::any_of(fields_.begin(), fields_.end(), [](const auto& field) {
                            return EqualsIgnoringCase(field.first, "Location");
                          });
    // A proxy's logon challenge may be answered by the transfer, with a request of its own.
    const bool proxy_challenge =
        status_ == 407 && std::any_of(fields_.begin(), fields_.end(), [](const auto& field) {
          return EqualsIgnoringCase(field.first, "Proxy-Authenticate");
        });
    // A redirect is left to the transfer, which follows it or fails with too many redirects; a
    // challenge it cannot answer ends with that response's body, or with the transfer.
    if (interim || redirect || proxy_challenge) return true;
    complete_ = true;
    return false;
  }
  if (line.empty()) return true;
  if ((line.front() == ' ' || line.front() == '\t') && !fields_.empty()) {
    // An obsolete folded continuation of the previous field's value.
    std::string& value = fields_.back().second;
    const std::string_view more = TrimBlanks(line);
    if (!more.empty()) {
      if (!value.empty()) value += ' ';
      value += more;
    }
    return true;
  }
  const auto colon = line.find(':');
  if (colon == std::string_view::npos) return true;  // not a field; nothing to keep
  fields_.emplace_back(std::string(TrimBlanks(line.substr(0, colon))),
                       std::string(TrimBlanks(line.substr(colon + 1))));
  return true;
}

std::string ResponseHeaders::Value(std::string_view name) const {
  std::string joined;
  bool found = false;
  for (const auto& [field_name, value] : fields_) {
    if (!EqualsIgnoringCase(field_name, name)) continue;
    if (found) joined += ", ";
    joined += value;
    found = true;
  }
  return Latin1ToUtf8(joined);
}

}  // namespace horalux
