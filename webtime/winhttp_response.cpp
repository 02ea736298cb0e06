#include "webtime/winhttp_response.h"

#include <string_view>

#include "runtime/base/windows_text.h"

namespace horalux {
namespace {

// WinHTTP hands header lines out decoded with the ANSI code page: encoded back, they are the
// bytes the server sent.
std::string HeaderBytes(std::wstring_view headers) {
  if (headers.empty()) return {};
  const int size = ::WideCharToMultiByte(
      CP_ACP, 0, headers.data(), static_cast<int>(headers.size()), nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string bytes(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, headers.data(), static_cast<int>(headers.size()), bytes.data(),
                        size, nullptr, nullptr);
  return bytes;
}

}  // namespace

int StatusCode(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!::WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                             WINHTTP_HEADER_NAME_BY_INDEX, &status, &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    return 0;
  }
  return static_cast<int>(status);
}

std::optional<std::string> QueryHeader(HINTERNET request, DWORD query) {
  DWORD size = 0;
  ::WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, WINHTTP_NO_OUTPUT_BUFFER,
                        &size, WINHTTP_NO_HEADER_INDEX);
  if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::nullopt;
  std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
  size = static_cast<DWORD>(text.size() * sizeof(wchar_t));
  if (!::WinHttpQueryHeaders(request, query, WINHTTP_HEADER_NAME_BY_INDEX, text.data(), &size,
                             WINHTTP_NO_HEADER_INDEX)) {
    return std::nullopt;
  }
  text.resize(size / sizeof(wchar_t));
  return HeaderBytes(text);
}

std::string ProxyWindowsChose(HINTERNET request) {
  WINHTTP_PROXY_RESULT_ENTRY entry{};
  DWORD size = sizeof entry;
  if (!::WinHttpQueryOption(request, WINHTTP_OPTION_PROXY_RESULT_ENTRY, &entry, &size) ||
      !entry.fProxy || entry.pwszProxy == nullptr) {
    return {};
  }
  return WideToUtf8(entry.pwszProxy) + ":" + std::to_string(entry.ProxyPort);
}

}  // namespace horalux
