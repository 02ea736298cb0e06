#include "webtime/http_request.h"

#include <algorithm>
#include <climits>
#include <stdexcept>
#include <type_traits>

#include "runtime/base/error.h"
#include "runtime/base/text.h"
#include "webtime/curl_error.h"

namespace horalux {
namespace {

constexpr long kMaxRedirects = 10;
constexpr const char* kAllowedProtocols = "http,https";

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

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

// libcurl reads 0 as "wait for ever"; a time-out always ends the wait, at the latest after the
// longest time libcurl can be given.
long TimeoutMilliseconds(std::chrono::milliseconds timeout) {
  const auto longest = static_cast<std::chrono::milliseconds::rep>(LONG_MAX);
  return static_cast<long>(std::clamp<std::chrono::milliseconds::rep>(timeout.count(), 1, longest));
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

// The host part of a URL, or an empty text when it has none.
std::string HostOf(CURLU* url) {
  char* host = nullptr;
  if (curl_url_get(url, CURLUPART_HOST, &host, 0) != CURLUE_OK || host == nullptr) return {};
  std::string result(host);
  curl_free(host);
  return result;
}

std::string HostOfUrlText(const char* url_text) {
  if (url_text == nullptr) return {};
  CurlUrl url = MakeCurlUrl();
  if (curl_url_set(url.get(), CURLUPART_URL, url_text, 0) != CURLUE_OK) return {};
  return HostOf(url.get());
}

// Refuses every URL but a well-formed absolute http or https one, and returns its host.
std::string CheckedHost(std::string_view url_text) {
  auto refuse = [&](CURLUcode code) { return CurlUrlError(code, url_text); };
  // libcurl takes C strings: a NUL inside the text would silently cut the URL short.
  if (url_text.find('\0') != std::string_view::npos) throw refuse(CURLUE_MALFORMED_INPUT);
  const std::string terminated(url_text);
  CurlUrl url = MakeCurlUrl();
  // No CURLU_GUESS_SCHEME: a URL without a scheme is refused rather than taken as http.
  if (const CURLUcode code = curl_url_set(url.get(), CURLUPART_URL, terminated.c_str(), 0);
      code != CURLUE_OK) {
    throw refuse(code);
  }
  char* scheme = nullptr;
  if (const CURLUcode code = curl_url_get(url.get(), CURLUPART_SCHEME, &scheme, 0);
      code != CURLUE_OK) {
    throw refuse(code);
  }
  const bool web_scheme = std::string_view(scheme) == "http" || std::string_view(scheme) == "https";
  curl_free(scheme);
  if (!web_scheme) throw refuse(CURLUE_UNSUPPORTED_SCHEME);
  return HostOf(url.get());
}

}  // namespace

HttpRequest::HttpRequest(HttpRequestOptions options) : options_(std::move(options)) {}

HttpRequest::~HttpRequest() = default;

template <typename Value>
void HttpRequest::SetOption(CURLoption option, Value value) {
  // curl_easy_setopt is variadic and reads numbers as long: an int would be read wrongly.
  static_assert(!std::is_integral_v<Value> || std::is_same_v<Value, long>);
  if (const CURLcode code = curl_easy_setopt(easy_.get(), option, value); code != CURLE_OK) {
    throw CurlSetupError(code, "libcurl 不接受 HTTP 请求的设置");
  }
}

void HttpRequest::Open(std::string_view method, std::string_view url, bool asynchronous) {
  if (stage_ != Stage::kNew) throw std::logic_error("HttpRequest::Open called twice");
  if (asynchronous) throw std::logic_error("HttpRequest offers synchronous requests only");
  const bool get = EqualsIgnoringCase(method, "GET");
  const bool head = EqualsIgnoringCase(method, "HEAD");
  const bool post = EqualsIgnoringCase(method, "POST");
  if (!get && !head && !post)
    throw std::logic_error("HttpRequest supports GET, HEAD and POST only");

  host_ = CheckedHost(url);
  easy_ = MakeCurlEasy();
  curl_error_text_.assign(CURL_ERROR_SIZE, '\0');

  SetOption(CURLOPT_ERRORBUFFER, curl_error_text_.data());
  // No signals: libcurl may otherwise use SIGALRM for name-resolution time-outs, which is unsafe
  // in a program with threads.
  SetOption(CURLOPT_NOSIGNAL, 1L);
  SetOption(CURLOPT_URL, std::string(url).c_str());
  SetOption(CURLOPT_PROTOCOLS_STR, kAllowedProtocols);
  SetOption(CURLOPT_REDIR_PROTOCOLS_STR, kAllowedProtocols);
  SetOption(CURLOPT_FOLLOWLOCATION, 1L);
  SetOption(CURLOPT_MAXREDIRS, kMaxRedirects);
  SetOption(CURLOPT_CONNECTTIMEOUT_MS, TimeoutMilliseconds(options_.connect_timeout));
  SetOption(CURLOPT_TIMEOUT_MS, TimeoutMilliseconds(options_.total_timeout));
  // Certificate and host name are checked; these are libcurl's defaults, stated so that nobody
  // mistakes their absence for an oversight.
  SetOption(CURLOPT_SSL_VERIFYPEER, 1L);
  SetOption(CURLOPT_SSL_VERIFYHOST, 2L);
  if (!options_.ca_file.empty()) SetOption(CURLOPT_CAINFO, options_.ca_file.c_str());
  // Proxies: CURLOPT_PROXY and CURLOPT_NOPROXY stay unset, so libcurl takes http_proxy,
  // https_proxy, ALL_PROXY and no_proxy from the environment for every transfer.
  // A proxy's answer to CONNECT is not the server's response; keep it out of the headers.
  SetOption(CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);

  SetOption(CURLOPT_HEADERFUNCTION, &HttpRequest::OnHeaderLine);
  SetOption(CURLOPT_HEADERDATA, static_cast<void*>(this));
  SetOption(CURLOPT_WRITEFUNCTION, &HttpRequest::OnBodyData);
  SetOption(CURLOPT_WRITEDATA, static_cast<void*>(this));

  if (get) {
    SetOption(CURLOPT_HTTPGET, 1L);
  } else if (head) {
    SetOption(CURLOPT_NOBODY, 1L);
  } else {
    // An empty body that libcurl sends with Content-Length: 0. It would add a form Content-Type
    // of its own (and Expect for larger bodies): the request carries no body, so neither.
    static constexpr char kEmptyBody[] = "";
    SetOption(CURLOPT_POSTFIELDSIZE, 0L);
    SetOption(CURLOPT_POSTFIELDS, kEmptyBody);
    request_headers_.Append("Content-Type:");
    request_headers_.Append("Expect:");
    SetOption(CURLOPT_HTTPHEADER, static_cast<void*>(request_headers_.get()));
  }
  stage_ = Stage::kOpened;
}

void HttpRequest::Send() {
  if (stage_ != Stage::kOpened)
    throw std::logic_error("HttpRequest::Send needs one Open before it");
  stage_ = Stage::kSent;

  const CURLcode code = curl_easy_perform(easy_.get());
  // The callbacks stop the transfer on purpose once the final response's headers are in.
  if (code == CURLE_OK || (code == CURLE_WRITE_ERROR && final_headers_complete_)) {
    easy_.reset();
    return;
  }

  fields_.clear();
  const std::string_view curl_text(curl_error_text_.c_str());
  char* effective_url = nullptr;
  std::string host = host_;
  if (curl_easy_getinfo(easy_.get(), CURLINFO_EFFECTIVE_URL, &effective_url) == CURLE_OK) {
    if (std::string redirected = HostOfUrlText(effective_url); !redirected.empty()) {
      host = std::move(redirected);
    }
  }
  Error error =
      CurlTransferError(code, host, curl_text, host == host_ ? std::string_view() : host_);
  easy_.reset();
  throw error;
}

std::string HttpRequest::GetResponseHeader(std::string_view name) const {
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

std::size_t HttpRequest::OnHeaderLine(char* data, std::size_t size, std::size_t count, void* self) {
  const std::size_t length = size * count;
  return static_cast<HttpRequest*>(self)->TakeHeaderLine(std::string_view(data, length)) ? length
                                                                                         : 0;
}

std::size_t HttpRequest::OnBodyData(char*, std::size_t, std::size_t, void* self) {
  // libcurl skips the bodies of the redirects it follows, so this is the final response's body,
  // and its headers are complete. Returning 0 ends the transfer; Send treats that as success.
  static_cast<HttpRequest*>(self)->final_headers_complete_ = true;
  return 0;
}

bool HttpRequest::TakeHeaderLine(std::string_view line) {
  if (StartsWithIgnoringCase(line, "HTTP/")) {
    // A new response begins: an interim one, a redirect, or the final one.
    fields_.clear();
    status_ = StatusCode(line);
    return true;
  }
  if (line == "\r\n" || line == "\n") {
    const bool interim = status_ >= 100 && status_ < 200;
    const bool redirect = status_ >= 300 && status_ < 400 &&
                          std::any_of(fields_.begin(), fields_.end(), [](const HeaderField& field) {
                            return EqualsIgnoringCase(field.first, "Location");
                          });
    // A redirect is left to libcurl, which follows it or fails with too many redirects.
    if (interim || redirect) return true;
    final_headers_complete_ = true;
    return false;
  }
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

}  // namespace horalux
