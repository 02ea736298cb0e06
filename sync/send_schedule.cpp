#include "sync/send_schedule.h"

#include <algorithm>

namespace horalux {

using std::chrono::ceil;
using std::chrono::microseconds;
using std::chrono::seconds;

std::vector<PlannedCut> PlanVisit(const OffsetInterval& interval, microseconds round_trip,
                                  WallTime earliest, int most_cuts) {
  const microseconds width = interval.high - interval.low;
  const microseconds r = std::max(round_trip, microseconds(1));
  // With k cuts every piece is d = (width + k·r) / (k + 1) wide; sends d − r apart must leave
  // room for a round trip and a little slack (1.1 r), which needs d ≥ 2.1 r.
  const long long room = (width - r * 21 / 10) / (r * 11 / 10);
  const int cuts = static_cast<int>(std::clamp<long long>(room, 1, std::max(most_cuts, 1)));
  const microseconds piece = (width + r * cuts) / (cuts + 1);

  // Cut points, highest first, since t0 = N − x sends the highest first. The lowest lies d above
  // low; the others d − r apart, as an answer after the tick proves only x − r; the highest then
  // lies d − r below high.
  std::vector<microseconds> points;
  for (int i = 0; i < cuts; ++i) {
    points.push_back(interval.low + piece + (piece - r) * (cuts - 1 - i));
  }

  const auto second = ceil<seconds>(earliest + points.front());
  std::vector<PlannedCut> cuts_planned;
  for (const microseconds point : points) cuts_planned.push_back({WallTime{second} - point, point});
  return cuts_planned;
}

}  // namespace horalux
