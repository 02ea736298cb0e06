// Linux only: whether systemd-timedated says another time service keeps the clock (its NTP
// property), which makes it refuse every setting of ours.
#pragma once

#include <optional>

namespace horalux {

// timedated's NTP property; none where the system bus or timedated cannot be reached or does not
// answer within a few seconds.
std::optional<bool> TimedatedReportsNtp();

}  // namespace horalux
