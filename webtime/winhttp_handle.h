// Windows only: WinHTTP's handles, closed when their owner goes; and the values of WinHTTP that
// headers made for Windows 7 (_WIN32_WINNT 0x0601) may lack. Those are only passed to the system
// at run time, and every use of them has a fallback for a Windows that refuses them.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include <memory>

#ifndef WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY
#define WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY 4  // Windows 8.1 and later
#endif
#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_1 0x00000200  // Windows 7 with KB3140245
#endif
#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2 0x00000800  // Windows 7 with KB3140245
#endif
#ifndef WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3
#define WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3 0x00002000  // Windows 11, Server 2022
#endif

namespace horalux {

struct InternetHandleCloser {
  void operator()(HINTERNET handle) const noexcept { ::WinHttpCloseHandle(handle); }
};
using InternetHandle = std::unique_ptr<void, InternetHandleCloser>;

}  // namespace horalux
