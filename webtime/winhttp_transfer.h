// Windows only: the WinHTTP transfer with its source of proxy settings open to tests, which
// cannot change the settings of the Windows they run on. MakeHttpTransfer gives the system's.
#pragma once

#include <functional>
#include <memory>

#include "webtime/http_transfer.h"
#include "webtime/proxy_choice.h"
#include "webtime/winhttp_proxy.h"

namespace horalux {

struct WinHttpProxySource {
  // Whether to let WinHTTP find the system's proxy itself (WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
  // which Windows takes from 8.1 on). Where it cannot, or is not to, the settings below serve.
  bool automatic = true;
  std::function<InternetOptionsProxy()> internet_options = &ReadInternetOptionsProxy;
};

std::unique_ptr<HttpTransfer> MakeWinHttpTransfer(const HttpRequestOptions& options,
                                                  WinHttpProxySource proxies);

}  // namespace horalux
