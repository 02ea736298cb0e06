#include "webtime/winhttp_url.h"

#include <algorithm>

#include "runtime/base/windows_text.h"
#include "webtime/response_headers.h"
#include "webtime/winhttp_error.h"

namespace horalux {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

}  // namespace

std::optional<std::string_view> SchemeOf(std::string_view url) {
  const std::size_t colon = url.find(':');
  if (colon == std::string_view::npos || colon == 0 || !IsAsciiLetter(url.front())) return {};
  const std::string_view scheme = url.substr(0, colon);
  const bool well_formed = std::all_of(scheme.begin(), scheme.end(), [](char c) {
    return IsAsciiLetter(c) || (c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.';
  });
  if (!well_formed) return {};
  return scheme;
}

bool IsWebScheme(std::string_view scheme) {
  return EqualsIgnoringCase(scheme, "http") || EqualsIgnoringCase(scheme, "https");
}

WebUrl CheckedUrl(std::string_view url_text) {
  const bool unprintable = std::any_of(url_text.begin(), url_text.end(), [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte <= 0x20 || byte == 0x7F;
  });
  const std::optional<std::string_view> scheme = SchemeOf(url_text);
  if (unprintable || !scheme) throw WinHttpUrlError(url_text, false, 0);
  if (!IsWebScheme(*scheme)) throw WinHttpUrlError(url_text, true, 0);
  if (url_text.substr(scheme->size(), 3) != "://") throw WinHttpUrlError(url_text, false, 0);
  const std::optional<std::wstring> wide = Utf8ToWide(url_text);
  if (!wide) throw WinHttpUrlError(url_text, false, 0);

  URL_COMPONENTS parts{};
  parts.dwStructSize = sizeof parts;
  parts.dwHostNameLength = static_cast<DWORD>(-1);
  parts.dwUrlPathLength = static_cast<DWORD>(-1);
  parts.dwExtraInfoLength = static_cast<DWORD>(-1);
  if (!::WinHttpCrackUrl(wide->c_str(), static_cast<DWORD>(wide->size()), 0, &parts)) {
    throw WinHttpUrlError(url_text, false, ::GetLastError());
  }
  if (parts.dwHostNameLength == 0) throw WinHttpUrlError(url_text, false, 0);

  WebUrl url;
  url.text = std::string(url_text);
  url.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
  url.host.assign(parts.lpszHostName, parts.dwHostNameLength);
  url.port = parts.nPort;
  url.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
  url.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
  url.path.erase(std::min(url.path.find(L'#'), url.path.size()));  // never sent
  if (url.path.empty() || url.path.front() != L'/') url.path.insert(0, L"/");
  url.host_text = WideToUtf8(url.host);
  return url;
}

}  // namespace horalux
