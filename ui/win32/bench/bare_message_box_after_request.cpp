// The floor for horalux.exe's start-up: the same WinHTTP request (a POST with no body to
// http://www.baidu.com/, the system's proxy settings) and its Date header in a MessageBoxW, with
// nothing of ours. scripts/bench-windows.sh measures both.
#include <windows.h>
#include <winhttp.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  wchar_t date[128] = L"no Date";
  const HINTERNET session = WinHttpOpen(L"Horalux", WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                                        WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0);
  const HINTERNET connection = WinHttpConnect(session, L"www.baidu.com", 80, 0);
  const HINTERNET request = WinHttpOpenRequest(connection, L"POST", L"/", nullptr,
                                               WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES, 0);
  if (WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0,
                         0) &&
      WinHttpReceiveResponse(request, nullptr)) {
    DWORD size = sizeof date;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_DATE, WINHTTP_HEADER_NAME_BY_INDEX, date, &size,
                        WINHTTP_NO_HEADER_INDEX);
  }
  WinHttpCloseHandle(request);
  WinHttpCloseHandle(connection);
  WinHttpCloseHandle(session);
  MessageBoxW(nullptr, date, L"Horalux", MB_OK);
  return 0;
}
