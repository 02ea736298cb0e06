#include "sync/offset_interval.h"

#include <algorithm>

namespace horalux {

OffsetInterval IntervalOfAnswer(WallTime sent, WallTime received,
                                std::chrono::sys_seconds date_second) {
  const WallTime date{date_second};
  return {date - received, date + std::chrono::seconds(1) - sent};
}

std::optional<OffsetInterval> Intersect(const OffsetInterval& a, const OffsetInterval& b) {
  const OffsetInterval both{std::max(a.low, b.low), std::min(a.high, b.high)};
  if (both.low >= both.high) return std::nullopt;
  return both;
}

}  // namespace horalux
