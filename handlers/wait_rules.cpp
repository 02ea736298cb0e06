#include "handlers/wait_rules.h"

namespace horalux {

LongWaitRule::Step LongWaitRule::Check(const BackgroundTask& call,
                                       std::chrono::steady_clock::time_point now) {
  // An answer that has just come is not announced, its wake-up perhaps still on its way.
  if (waiting_text_.empty() || shown_ || call.Ended()) return {};
  if (!call.Reached(CallStage::kWaiting)) return {};
  if (!waiting_since_) waiting_since_ = now;
  const auto due = *waiting_since_ + kQuietWait;
  if (now < due) return {false, due};
  shown_ = true;
  return {true, std::nullopt};
}

}  // namespace horalux
