// Windows only: a proxy's logon challenge (407) answered once with the logged-on user's own
// credentials, as the system's components answer a proxy of the network's.
#pragma once

#include <windows.h>
#include <winhttp.h>

#include "webtime/hop_sends.h"  // kProxyAuthenticationRequired

namespace horalux {

// After a 407 on `request`: when the proxy offers Negotiate or NTLM, sets the user's credentials
// for the proxy alone and returns true, and the request is to be sent again; false otherwise.
bool AnswerProxyChallenge(HINTERNET request);

}  // namespace horalux
