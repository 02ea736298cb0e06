#include "runtime/clock/refusal_linux.h"

#include <string>

namespace horalux {

Error LinuxRefusal(ClockFailure failure, std::string_view note,
                   std::optional<std::chrono::local_seconds> wanted, std::string_view lead) {
  const ClockWording wording = WordingOf(failure);
  std::string text(lead);
  text += wording.cause;
  text += note;
  if (wanted) {
    text += "（";
    text += WantedTimeNote(*wanted);
    text += "）";
  }
  if (!wording.remedy.empty()) {
    text += "。";
    text += wording.remedy;
  }
  return Error(ErrorKind::kClockRefused, text);
}

}  // namespace horalux
