// When to send the requests that narrow an offset interval. A request sent at t0 and answered
// after a round trip r, to a server whose clock ticks to second N while it is out, tells which
// side of N − t0 the offset lies: the answer's Date is N and the offset exceeds N − t0 − r, or it
// is N − 1 and the offset is below N − t0. Sending at t0 = N − x therefore cuts the interval at
// x; the cuts of one visit to the server's second are sent one after the other, a round trip
// apart at least, and split the interval into pieces of equal width whatever the answers.
#pragma once

#include <chrono>
#include <vector>

#include "runtime/base/wall_clock.h"
#include "sync/offset_interval.h"

namespace horalux {

struct PlannedCut {
  WallTime send;
  Offset at;  // where the answer cuts the interval
};

// The cuts of the next visit, earliest first, none sent before `earliest`: as many as the
// interval has room for a round trip `round_trip` apart (at least one, at most `most_cuts`).
std::vector<PlannedCut> PlanVisit(const OffsetInterval& interval,
                                  std::chrono::microseconds round_trip, WallTime earliest,
                                  int most_cuts);

}  // namespace horalux
