// The one place where WinHTTP's error codes become the program's errors: each failure is one of
// the RequestFailure causes, with WinHTTP's own text (from winhttp.dll's messages) and the code.
#pragma once

#include <windows.h>

#include <string_view>

#include "runtime/base/error.h"

namespace horalux {

// What is known of a failed exchange besides the code.
struct WinHttpFailure {
  DWORD code = 0;
  // WINHTTP_CALLBACK_STATUS_FLAG_* of the last secure failure WinHTTP reported, or 0.
  DWORD secure_failure_flags = 0;
  // How many redirects had been followed.
  int redirects = 0;
  // Whether Windows refused to enable TLS 1.2 (Windows 7 without KB3140245).
  bool tls12_unavailable = false;
  // The host of the exchange that failed, and the one first asked when a redirect led there.
  std::string_view host;
  std::string_view first_host;
};

Error WinHttpTransferError(const WinHttpFailure& failure);

// WinHTTP could not be set up for a request (a handle not opened, an option refused): `what`
// says which step failed.
Error WinHttpSetupError(DWORD code, std::string_view what);

// The URL given to Open was refused, by WinHTTP's parser (`code`) or before it (`code` 0).
Error WinHttpUrlError(std::string_view url, bool other_scheme, DWORD code);

}  // namespace horalux
