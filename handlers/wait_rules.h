// The rules of every wait of the window's handlers, written once for both front ends: how long a
// wait goes unannounced before the small window of a long wait shows what it is for, and what the
// user's ending a wait means. A front end delivers its events until woken and draws that small
// window; nothing else of a wait is its own.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/background/background_call.h"

namespace horalux {

// How long a wait goes unannounced: a usual answer comes well within it.
inline constexpr std::chrono::milliseconds kQuietWait{1'000};

// How a front end's wait for a call ended.
enum class WaitEnd {
  kCallEnded,     // the call returned or raised: the handler takes its result
  kCancelled,     // the user cancelled in the small window (取消, Esc, or closing it)
  kWindowClosed,  // the user closed the window, or the program is quitting
};

// When the small window of a long wait is due: once what the user waits for
// (CallStage::kWaiting; a password prompt of the system's before it is not a wait of ours) has
// gone on for kQuietWait without an end. Never before, not even for a moment, never for a call
// that has ended, and never for a wait without a text to show (a clock call's).
class LongWaitRule {
 public:
  explicit LongWaitRule(std::string_view waiting_text) : waiting_text_(waiting_text) {}

  struct Step {
    bool show = false;  // show the small window now (once only)
    // When to look again, if the small window may still be due; the call's own steps wake the
    // front end too.
    std::optional<std::chrono::steady_clock::time_point> look_again_at;
  };
  // At each of the front end's wake-ups.
  Step Check(const BackgroundTask& call, std::chrono::steady_clock::time_point now);

  const std::string& waiting_text() const { return waiting_text_; }

 private:
  std::string waiting_text_;
  std::optional<std::chrono::steady_clock::time_point> waiting_since_;
  bool shown_ = false;
};

}  // namespace horalux
