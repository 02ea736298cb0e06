// How the windowless modes word what they measured, in Chinese: an offset as "+2.345 秒" (the
// site's time minus this computer's), a bound as "±0.006 秒", a line per site and the summary.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "sync/offset_interval.h"
#include "sync/site_measurement.h"

namespace horalux {

// Signed, to the millisecond, rounded to the nearest: "+2.345 秒", "-0.618 秒".
std::string OffsetText(Offset offset);
// To the millisecond, rounded up so that it never claims more than was measured: "±0.006 秒".
std::string BoundText(Offset bound);

// What a site's line says beyond its measurement.
enum class SiteStanding { kAgrees, kDisagrees, kFailed };

// "www.example.com：+2.345 秒，误差 ±0.006 秒，请求 12 次", with what became of it.
std::string SiteLine(std::string_view host, const SiteMeasurement& measurement,
                     SiteStanding standing);

// The summary of an offset that was measured: how far and which way this computer's clock is
// off, the offset, its bound and how many sites it rests on, then `outcome` ("已校正").
std::string MeasuredSummary(const OffsetInterval& combined, int agreeing, int sites,
                            std::string_view outcome);

// No site gave a time, or the sites that did disagree (`disagreeing`, their hosts).
std::string NoTimeSummary(int sites);
std::string NoAgreementSummary(const std::vector<std::string>& disagreeing);

}  // namespace horalux
