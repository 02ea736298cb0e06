// How often one hop's request goes out, whatever does the transfer: again when the HTTP library
// asks for it (a kept-alive connection the server or a proxy closed, a round of a logon), a
// bounded number of times; and once more after a proxy's logon challenge has been answered.
#pragma once

namespace horalux {

inline constexpr int kProxyAuthenticationRequired = 407;

// How many times one hop is sent again at the library's request before the hop fails.
inline constexpr int kMaxResends = 3;

class HopSends {
 public:
  enum class Next {
    kDone,             // the response stands
    kSendAgain,        // the library asked for the request to go out again
    kAnswerChallenge,  // a proxy's first 407: answer it, and send again if it could be answered
    kGiveUp,           // the library asked once too often: the hop fails with its code
  };

  // After one send and receive: `resend_asked` when the library asked to send again, else the
  // response's `status`.
  Next After(bool resend_asked, int status);

 private:
  int resends_ = 0;
  bool challenge_answered_ = false;
};

}  // namespace horalux
