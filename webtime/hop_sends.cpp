#include "webtime/hop_sends.h"

namespace horalux {

HopSends::Next HopSends::After(bool resend_asked, int status) {
  if (resend_asked) {
    if (resends_ >= kMaxResends) return Next::kGiveUp;
    ++resends_;
    return Next::kSendAgain;
  }
  // A second 407 is the proxy refusing the user: it stands, and is reported as the answer.
  if (status == kProxyAuthenticationRequired && !challenge_answered_) {
    challenge_answered_ = true;
    return Next::kAnswerChallenge;
  }
  return Next::kDone;
}

}  // namespace horalux
