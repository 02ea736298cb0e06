#include "sync/site_agreement.h"

#include <algorithm>
#include <utility>

namespace horalux {

Agreement CombineSites(const std::vector<std::optional<OffsetInterval>>& sites) {
  Agreement agreement;
  agreement.agrees.assign(sites.size(), false);
  // Each interval opens at its low end (+1) and closes at its high end (−1). The intervals are
  // open, so where one ends as another begins they do not overlap: closings go first.
  std::vector<std::pair<Offset, int>> edges;
  for (const auto& site : sites) {
    if (!site) continue;
    ++agreement.measured;
    edges.emplace_back(site->low, +1);
    edges.emplace_back(site->high, -1);
  }
  if (agreement.measured == 0) return agreement;
  std::sort(edges.begin(), edges.end());

  int overlapping = 0;
  int most = 0;
  int regions_with_most = 0;
  OffsetInterval best{};
  for (std::size_t i = 0; i + 1 < edges.size(); ++i) {
    overlapping += edges[i].second;
    const OffsetInterval region{edges[i].first, edges[i + 1].first};
    if (region.low >= region.high) continue;
    if (overlapping > most) {
      most = overlapping;
      regions_with_most = 1;
      best = region;
    } else if (overlapping == most) {
      // Another set as large: between two regions the count only stays as high where one
      // interval closes as another opens.
      ++regions_with_most;
    }
  }
  if (regions_with_most != 1 || most * 2 <= agreement.measured) return agreement;
  agreement.combined = best;
  for (std::size_t i = 0; i < sites.size(); ++i) {
    agreement.agrees[i] = sites[i] && sites[i]->low <= best.low && best.high <= sites[i]->high;
  }
  return agreement;
}

}  // namespace horalux
