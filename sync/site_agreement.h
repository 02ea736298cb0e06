// Several sites' intervals combined by Marzullo's algorithm: the offsets that the largest set of
// sites allows together. That set must hold more than half of the sites that gave a time; a site
// outside it disagrees and is left out. With no such set (two sites that disagree, say) there is
// no agreement and nothing is to be set.
#pragma once

#include <optional>
#include <vector>

#include "sync/offset_interval.h"

namespace horalux {

struct Agreement {
  // The offsets every agreeing site allows; none without a majority.
  std::optional<OffsetInterval> combined;
  // For each site, in order: whether it is one of the agreeing (never for a site without a time).
  std::vector<bool> agrees;
  int measured = 0;  // sites that gave a time
};

// `sites`: each site's interval, or nothing for a site that gave no time.
Agreement CombineSites(const std::vector<std::optional<OffsetInterval>>& sites);

}  // namespace horalux
