#include "sync/site_measurement.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "runtime/base/error.h"
#include "sync/http_date.h"
#include "sync/send_schedule.h"
#include "webtime/proxy_answer.h"

namespace horalux {
namespace {

using std::chrono::microseconds;

// Answers from a cache (an Age header) carry the time the origin made them, not the time they
// were sent; they are left out, and a site that gives nothing else within these fails.
constexpr int kMostCachedAnswers = 3;

// The cuts of one visit to the server's tick. After the first answer the interval is a second
// wide, and more cuts then spend requests that later, narrower visits need (about four visits
// fit in the budget, one a second).
constexpr int kMostCutsPerVisit = 6;

// How soon after an answer the request that follows it up is timed to go out: the time to wake.
constexpr std::chrono::microseconds kFollowUpDelay{200};

// An answer that makes the whole site unusable, unlike a request that fails on the way, after
// which what the earlier answers proved still holds.
struct Unusable {
  std::string why;
};

std::string DayText(std::chrono::sys_days day) {
  const std::chrono::year_month_day date{day};
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()),
                static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
  return text;
}

class Measurement {
 public:
  Measurement(TimedExchange& exchange, std::string_view host, const SiteLimits& limits)
      : exchange_(exchange), host_(host), limits_(limits) {}

  // Sends one request and takes its answer. Raises horalux::Error when the request fails, and
  // Unusable when its answer shows that the site's time cannot be trusted.
  void Ask() {
    const TimedAnswer answer = exchange_.Send();
    ++result_.requests;
    try {
      CheckProxyAnswer(answer.status, answer.proxy, host_);
    } catch (const Error& error) {
      throw Unusable{error.detail()};
    }
    round_trips_.push_back(answer.received - answer.sent);
    if (!answer.age.empty() && answer.age != "0") {
      if (++cached_ >= kMostCachedAnswers && !result_.interval) {
        throw Unusable{"回答来自缓存（Age: " + answer.age +
                       "），其中的时间是缓存存下回答的时间而不是现在的时间，不能采用"};
      }
      return;
    }
    if (answer.date.empty()) throw Unusable{"回答中没有 Date 响应头"};
    const auto date = ParseHttpDate(answer.date);
    if (!date) throw Unusable{"Date 响应头 " + Quoted(answer.date) + " 不是 HTTP 规定的日期格式"};
    if (*date < limits_.earliest_date) {
      throw Unusable{"给出的时间 " + Quoted(answer.date) + " 早于本程序的发布日期 " +
                     DayText(limits_.earliest_date) +
                     "，必定有误（可能是代理或服务器给出的过时或默认时间）"};
    }
    const OffsetInterval proved = IntervalOfAnswer(answer.sent, answer.received, *date);
    if (!result_.interval) {
      result_.interval = proved;
    } else if (const auto both = Intersect(*result_.interval, proved)) {
      result_.interval = both;
    } else {
      throw Unusable{"各次回答的时间彼此矛盾（可能是几台时钟不同的服务器轮流回答），不能采用"};
    }
  }

  microseconds ShortestRoundTrip() const {
    return *std::min_element(round_trips_.begin(), round_trips_.end());
  }

  microseconds TypicalRoundTrip() const {
    std::vector<microseconds> sorted = round_trips_;
    std::sort(sorted.begin(), sorted.end());
    return sorted[sorted.size() / 2];
  }

  SiteMeasurement& result() { return result_; }

 private:
  TimedExchange& exchange_;
  const std::string host_;
  const SiteLimits& limits_;
  SiteMeasurement result_;
  std::vector<microseconds> round_trips_;
  int cached_ = 0;
};

}  // namespace

SiteMeasurement MeasureSite(TimedExchange& exchange, std::string_view host,
                            const SiteTiming& timing, const SiteLimits& limits) {
  Measurement measurement(exchange, host, limits);
  SiteMeasurement& result = measurement.result();
  const WallTime start = timing.now();
  try {
    measurement.Ask();
    while (result.requests < limits.most_requests &&
           (!result.interval || result.interval->HalfWidth() > limits.good_enough)) {
      const microseconds round_trip = measurement.TypicalRoundTrip();
      const WallTime last_send = start + limits.budget - round_trip;
      if (!result.interval) {
        // Only cached answers so far: ask again at once.
        if (timing.now() > last_send) break;
        measurement.Ask();
        continue;
      }
      const std::vector<PlannedCut> cuts =
          PlanVisit(*result.interval, round_trip, timing.now() + microseconds(500),
                    std::min(kMostCutsPerVisit, limits.most_requests - result.requests));
      if (cuts.front().send > last_send) break;
      const int asked_before = result.requests;
      // Whether an answer to a request sent to cut at `at` could still narrow the interval.
      const auto narrows = [&](Offset at) {
        return result.interval && at > result.interval->low &&
               at - measurement.ShortestRoundTrip() < result.interval->high;
      };
      for (std::size_t i = 0; i < cuts.size(); ++i) {
        if (cuts[i].send > last_send || result.requests >= limits.most_requests) break;
        // An earlier cut of the visit may have settled this one's answer already.
        if (!narrows(cuts[i].at)) continue;
        timing.sleep_until(cuts[i].send);
        measurement.Ask();
        // An answer from before the tick may come back while the tick is still ahead: a request
        // sent at once then cuts again, below, where no planned cut of this visit is left to.
        const WallTime tick = cuts[i].send + cuts[i].at;
        while (result.requests < limits.most_requests &&
               (i + 1 == cuts.size() || !narrows(cuts[i + 1].at))) {
          const WallTime at_once = timing.now() + kFollowUpDelay;
          if (at_once > last_send || !narrows(tick - at_once)) break;
          timing.sleep_until(at_once);
          measurement.Ask();
        }
      }
      // Nothing left that an answer could narrow.
      if (result.requests == asked_before) break;
    }
  } catch (const Unusable& unusable) {
    result.interval.reset();
    result.failure = unusable.why;
  } catch (const Error& error) {
    // What was proved before a later request failed still holds.
    if (!result.interval) result.failure = error.detail();
  }
  return result;
}

}  // namespace horalux
