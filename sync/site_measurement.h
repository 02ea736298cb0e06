// One site measured over its timed exchange: a first request finds the server's second and the
// round trip, and the visits that follow cut the interval at the server's tick until it is
// narrow, the requests are spent or the time is up. Every answer's interval is intersected, so
// the result holds whatever the network's delays were.
#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/base/wall_clock.h"
#include "sync/offset_interval.h"
#include "webtime/timed_exchange.h"

namespace horalux {

struct SiteTiming {
  std::function<WallTime()> now;
  std::function<void(WallTime)> sleep_until;
};

struct SiteLimits {
  int most_requests = 16;
  // From the first request on; no request goes out that could not be answered within it.
  std::chrono::microseconds budget = std::chrono::milliseconds(3700);
  // Enough: no more requests once the bound is this small.
  Offset good_enough = std::chrono::milliseconds(2);
  // Any Date before this day is certainly wrong: the day this version was released.
  std::chrono::sys_days earliest_date;
};

struct SiteMeasurement {
  std::optional<OffsetInterval> interval;  // none when the site gave no usable time
  int requests = 0;
  std::string failure;  // why there is no interval, naming the cause
};

// Never raises for what the server or the network does: that is in the result.
SiteMeasurement MeasureSite(TimedExchange& exchange, std::string_view host,
                            const SiteTiming& timing, const SiteLimits& limits);

}  // namespace horalux
