#include "webtime/winhttp_proxy_challenge.h"

#include "webtime/winhttp_session.h"

namespace horalux {

bool AnswerProxyChallenge(HINTERNET request) {
  DWORD supported = 0;
  DWORD first = 0;
  DWORD target = 0;
  if (!::WinHttpQueryAuthSchemes(request, &supported, &first, &target) ||
      target != WINHTTP_AUTH_TARGET_PROXY) {
    return false;
  }
  const DWORD scheme = (supported & WINHTTP_AUTH_SCHEME_NEGOTIATE) != 0
                           ? WINHTTP_AUTH_SCHEME_NEGOTIATE
                       : (supported & WINHTTP_AUTH_SCHEME_NTLM) != 0 ? WINHTTP_AUTH_SCHEME_NTLM
                                                                     : 0;
  if (scheme == 0) return false;
  // No name and no password: the logged-on user's own. The low policy lets them go to a proxy
  // outside the intranet zone, which the medium one reserves for hosts on the bypass list. They
  // go to the proxy alone: only its target gets credentials.
  SetWinHttpOption(request, WINHTTP_OPTION_AUTOLOGON_POLICY, WINHTTP_AUTOLOGON_SECURITY_LEVEL_LOW,
                   "WinHTTP 不接受登录设置");
  return ::WinHttpSetCredentials(request, WINHTTP_AUTH_TARGET_PROXY, scheme, nullptr, nullptr,
                                 nullptr) != FALSE;
}

}  // namespace horalux
