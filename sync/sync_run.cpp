#include "sync/sync_run.h"

#include <thread>
#include <utility>

#include "runtime/base/error.h"
#include "sync/release_date.h"
#include "sync/site_agreement.h"
#include "sync/site_measurement.h"
#include "sync/sync_wording.h"

namespace horalux {
namespace {

using namespace std::chrono_literals;

// A site is given about 4 s; so is each of its requests, connection included, so that one that
// never answers costs no more.
constexpr std::chrono::milliseconds kRequestTimeout = 4s;

// The host (with its port, when the URL gives one) that a site's line names.
std::string HostOf(std::string_view url) {
  if (const auto scheme_end = url.find("://"); scheme_end != std::string_view::npos) {
    url.remove_prefix(scheme_end + 3);
  }
  url = url.substr(0, url.find_first_of("/?#"));
  if (const auto at = url.rfind('@'); at != std::string_view::npos) url.remove_prefix(at + 1);
  return std::string(url);
}

SiteMeasurement MeasureUrl(const std::string& url, const SyncRequest& request,
                           const SyncServices& services) {
  try {
    HttpRequestOptions options;
    options.connect_timeout = kRequestTimeout;
    options.total_timeout = kRequestTimeout;
    options.proxy = request.proxy;
    const std::unique_ptr<TimedExchange> exchange = services.open_exchange(url, options);
    SiteLimits limits;
    limits.earliest_date = std::chrono::sys_days{kReleaseDate};
    return MeasureSite(*exchange, HostOf(url), {services.now, services.sleep_until}, limits);
  } catch (const Error& error) {
    return {std::nullopt, 0, error.detail()};
  } catch (const std::exception& error) {
    return {std::nullopt, 0, error.what()};
  }
}

}  // namespace

SyncReport RunTimeSync(const SyncRequest& request, const SyncServices& services) {
  // Side by side, each site on a thread of its own, each writing only its own result.
  std::vector<SiteMeasurement> measurements(request.urls.size());
  {
    std::vector<std::jthread> threads;
    for (std::size_t i = 0; i < request.urls.size(); ++i) {
      threads.emplace_back(
          [&, i] { measurements[i] = MeasureUrl(request.urls[i], request, services); });
    }
  }

  std::vector<std::optional<OffsetInterval>> intervals;
  for (const auto& measurement : measurements) intervals.push_back(measurement.interval);
  const Agreement agreement = CombineSites(intervals);
  const int sites = static_cast<int>(request.urls.size());

  SyncReport report;
  std::vector<std::string> disagreeing;
  int agreeing = 0;
  for (std::size_t i = 0; i < measurements.size(); ++i) {
    const std::string host = HostOf(request.urls[i]);
    SiteStanding standing = SiteStanding::kFailed;
    if (measurements[i].interval) {
      standing = agreement.agrees[i] ? SiteStanding::kAgrees : SiteStanding::kDisagrees;
    }
    if (standing == SiteStanding::kAgrees) ++agreeing;
    if (standing == SiteStanding::kDisagrees) disagreeing.push_back(host);
    report.site_lines.push_back(SiteLine(host, measurements[i], standing));
    if (standing == SiteStanding::kFailed) report.errors.push_back(report.site_lines.back());
  }

  if (!agreement.combined) {
    report.summary = agreement.measured == 0 ? NoTimeSummary(sites) : NoAgreementSummary([&] {
      std::vector<std::string> measured;
      for (std::size_t i = 0; i < measurements.size(); ++i) {
        if (measurements[i].interval) measured.push_back(HostOf(request.urls[i]));
      }
      return measured;
    }());
    report.errors.push_back(report.summary);
    return report;
  }
  const OffsetInterval combined = *agreement.combined;
  const Offset offset = combined.Midpoint();
  const bool already_right = std::chrono::abs(offset) <= combined.HalfWidth();
  if (!request.set_clock) {
    report.outcome = SyncReport::Outcome::kMeasured;
    report.summary = MeasuredSummary(combined, agreeing, sites, "仅测量，未更改系统时钟");
  } else if (already_right) {
    report.outcome = SyncReport::Outcome::kAlreadyRight;
    report.summary = MeasuredSummary(combined, agreeing, sites, "时钟已经准确，未作更改");
  } else {
    try {
      if (services.clock == nullptr) throw Error(ErrorKind::kClockRefused, "没有可设置的时钟");
      services.clock->AdjustBy(offset);
      report.outcome = SyncReport::Outcome::kSet;
      report.summary = MeasuredSummary(combined, agreeing, sites, "已校正");
    } catch (const Error& error) {
      report.summary = MeasuredSummary(combined, agreeing, sites, "但系统拒绝修改时间，时钟未更改");
      report.errors.push_back(error.detail());
      return report;
    }
  }
  report.exit_status = 0;
  return report;
}

SyncServices SystemSyncServices(const WallClock& wall_clock, Clock* clock) {
  SyncServices services;
  services.open_exchange = [&wall_clock](std::string_view url, const HttpRequestOptions& options) {
    return OpenTimedExchange(url, options, wall_clock);
  };
  services.now = [&wall_clock] { return wall_clock.Now(); };
  // The wait is on the monotonic clock: a clock moved meanwhile neither stretches nor cuts it.
  // Its last moments are spent awake, since a sleep may overshoot by a millisecond or more on a
  // busy machine, and each send's moment decides where its answer cuts.
  services.sleep_until = [&wall_clock](WallTime until) {
    const auto awake = std::chrono::milliseconds(2);
    const auto start = std::chrono::steady_clock::now();
    const auto left = until - wall_clock.Now();
    if (left > awake) std::this_thread::sleep_for(left - awake);
    while (std::chrono::steady_clock::now() - start < left) std::this_thread::yield();
  };
  services.clock = clock;
  return services;
}

}  // namespace horalux
