// The offset of this computer's clock from a server's (the server's time minus ours; positive:
// this computer is behind), as an interval that certainly holds it.
#pragma once

#include <chrono>
#include <optional>

#include "runtime/base/wall_clock.h"

namespace horalux {

using Offset = std::chrono::microseconds;

// The open interval (low, high).
struct OffsetInterval {
  Offset low;
  Offset high;

  Offset Midpoint() const { return low + (high - low) / 2; }
  // Half the width, rounded up so that the midpoint plus or minus it still covers the interval.
  Offset HalfWidth() const { return (high - low + Offset(1)) / 2; }
  bool Contains(Offset offset) const { return low < offset && offset < high; }
  friend bool operator==(const OffsetInterval&, const OffsetInterval&) = default;
};

// What one answer proves: sent at `sent` and answered at `received` (local wall times), with the
// server's clock reading `date_second` (the whole second of its Date header) at some moment in
// between, the offset lies in (date − received, date + 1 s − sent).
OffsetInterval IntervalOfAnswer(WallTime sent, WallTime received,
                                std::chrono::sys_seconds date_second);

// The offsets both intervals allow; nothing when they have none in common.
std::optional<OffsetInterval> Intersect(const OffsetInterval& a, const OffsetInterval& b);

}  // namespace horalux
