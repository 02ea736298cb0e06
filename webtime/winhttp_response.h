// Windows only: what is read of a WinHTTP response once its headers are in: the status, one
// header, or all of them, as the bytes the server sent.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <optional>
#include <string>

namespace horalux {

// The status code of the response, or 0 when WinHTTP has none.
int StatusCode(HINTERNET request);

// The bytes of a header (`query` one of WINHTTP_QUERY_*, WINHTTP_QUERY_RAW_HEADERS_CRLF for all
// the lines), or nothing when the response has none.
std::optional<std::string> QueryHeader(HINTERNET request, DWORD query);

// The proxy that Windows chose itself for a request it has sent ("proxy.example:8080"), or an
// empty text where it went directly or Windows does not say (before 8.1, and under Wine).
std::string ProxyWindowsChose(HINTERNET request);

}  // namespace horalux
