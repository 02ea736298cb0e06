// The sites a schedule is set up for, checked before anything is written or registered, since a
// scheduled run has nobody to tell: one to eight, each an http or https URL of printable text.
#pragma once

#include <string>
#include <vector>

namespace horalux {

inline constexpr std::size_t kMostScheduledUrls = 8;

// Raises ErrorKind::kInvalidUrl naming the first URL that fails, and why.
void CheckScheduledUrls(const std::vector<std::string>& urls);

}  // namespace horalux
