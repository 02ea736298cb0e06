// The windowless modes, `--query` and `--sync`: the offset of this computer's clock from the web,
// measured on every URL side by side, combined, and with `--sync` applied to the system clock.
// Toolkit-free; a front end only prints what it returns (a terminal, a console, the event log).
#pragma once

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/base/wall_clock.h"
#include "runtime/clock/clock.h"
#include "webtime/http_request.h"
#include "webtime/timed_exchange.h"

namespace horalux {

struct SyncRequest {
  std::vector<std::string> urls;  // one to eight http or https URLs, used as they stand
  bool set_clock = false;         // --sync; --query only measures
  // --proxy: the proxy every request goes through, instead of the system's; none when empty.
  std::string proxy;
};

// What a run did, for the front end to print and to log.
struct SyncReport {
  enum class Outcome {
    kMeasured,      // --query: the offset was measured
    kSet,           // --sync: measured and the clock corrected
    kAlreadyRight,  // --sync: the offset lay within its bound, nothing was set
    kFailed,        // nothing measured, no agreement between the sites, or the clock refused
  };
  Outcome outcome = Outcome::kFailed;
  std::vector<std::string> site_lines;  // one line per URL, in the order given
  std::string summary;                  // the last line on standard output
  std::vector<std::string> errors;      // failures and refusals, for standard error as well
  // 0 measured (with --sync: and set, or nothing to set); 1 failed, nothing set.
  int exit_status = 1;
};

// What a run reaches the world through; the program passes the real ones, tests their own.
struct SyncServices {
  // Opens the exchange for one URL (OpenTimedExchange on `now`'s clock, by default).
  std::function<std::unique_ptr<TimedExchange>(std::string_view url, const HttpRequestOptions&)>
      open_exchange;
  // The local wall clock as precisely as the platform can read it, and a wait on a monotonic
  // clock until that wall time.
  std::function<WallTime()> now;
  std::function<void(WallTime)> sleep_until;
  // The system clock; only --sync uses it (Clock::AdjustBy).
  Clock* clock = nullptr;
};

// Measures every URL side by side, combines them, and with `set_clock` corrects the clock. Never
// raises for what the network, a server or the clock does: that is in the report.
SyncReport RunTimeSync(const SyncRequest& request, const SyncServices& services);

// The real services: OpenTimedExchange and the waits on `wall_clock`, and `clock`; both must
// outlive the services.
SyncServices SystemSyncServices(const WallClock& wall_clock, Clock* clock);

}  // namespace horalux
