// One site's measurement: what an answer proves, when the requests go out, and the whole
// measurement against simulated servers, exact and odd.
#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "sync/http_date.h"
#include "sync/offset_interval.h"
#include "sync/send_schedule.h"
#include "sync/site_measurement.h"
#include "sync/tests/simulated_site.h"

namespace horalux {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;
using testing::SimulatedExchange;
using testing::SimulatedServer;
using testing::VirtualTime;

const WallTime kNow{sys_days{2026y / 12 / 9} + 23h + 30min + 250ms};

TEST(OffsetInterval, AnAnswerProvesTheOffsetLiesBetweenDateMinusReceivedAndDatePlusOneMinusSent) {
  struct Case {
    const char* what;
    std::vector<std::pair<WallTime, WallTime>> exchanges;  // sent, received
    std::vector<sys_seconds> dates;
    std::optional<OffsetInterval> expected;
  };
  const sys_seconds second = floor<seconds>(kNow);
  const Case cases[] = {
      {"one answer: a second plus its round trip wide",
       {{kNow, kNow + 20ms}},
       {second + 2s},
       OffsetInterval{2s - 270ms, 3s - 250ms}},
      {"a later answer in the same second narrows from above",
       {{kNow, kNow + 20ms}, {kNow + 760ms, kNow + 780ms}},
       {second, second},
       OffsetInterval{-270ms, -10ms}},
      {"answers that cannot both be right",
       {{kNow, kNow + 20ms}, {kNow + 40ms, kNow + 60ms}},
       {second, second + 5s},
       std::nullopt},
  };
  for (const Case& c : cases) {
    std::optional<OffsetInterval> proved;
    for (std::size_t i = 0; i < c.dates.size(); ++i) {
      const auto one = IntervalOfAnswer(c.exchanges[i].first, c.exchanges[i].second, c.dates[i]);
      proved = i == 0 ? std::optional(one) : (proved ? Intersect(*proved, one) : proved);
    }
    EXPECT_EQ(proved, c.expected) << c.what;
  }
  // The midpoint is the estimate; the half-width, rounded up, the bound.
  const OffsetInterval interval{-31ms, 10ms};
  EXPECT_EQ(interval.Midpoint(), -10500us);
  EXPECT_EQ(interval.HalfWidth(), 20500us);
  EXPECT_EQ((OffsetInterval{0us, 3us}).HalfWidth(), 2us);
}

TEST(HttpDate, ReadsHttpsFormAndRefusesEverythingElse) {
  const std::pair<const char*, std::optional<sys_seconds>> cases[] = {
      {"Sun, 06 Nov 1994 08:49:37 GMT", sys_days{1994y / 11 / 6} + 8h + 49min + 37s},
      {"Wed, 9 Dec 2026 23:59:60 GMT", sys_days{2026y / 12 / 9} + 23h + 59min + 59s},
      {"Mon, 06 Nov 1994 08:49:37 GMT", std::nullopt},  // a Sunday
      {"Sunday, 06-Nov-94 08:49:37 GMT", std::nullopt},
      {"Sun Nov  6 08:49:37 1994", std::nullopt},
      {"Sun, 31 Nov 1994 08:49:37 GMT", std::nullopt},
      {"Sun, 06 Nov 1994 24:00:00 GMT", std::nullopt},
      {"Sun, 06 Nov 1994 08:49:37 UTC", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(ParseHttpDate(text), expected) << text;
}

TEST(SendSchedule, CutsTheIntervalIntoEqualPiecesWithARoundTripBetweenSends) {
  struct Case {
    OffsetInterval interval;
    microseconds round_trip;
    int most_cuts;
    int expected_cuts;
  };
  const Case cases[] = {
      {{2s, 3s + 20ms}, 20ms, 6, 6},  // after the first answer: as many as allowed
      {{2s, 2s + 160ms}, 20ms, 6, 5}, {{2s, 2s + 50ms}, 20ms, 6, 1},  // narrow: one cut, halving
      {{2s, 2s + 15ms}, 20ms, 6, 1},  {{-1s, 20ms}, 20ms, 2, 2},      // the requests left
  };
  for (const Case& c : cases) {
    const WallTime earliest = kNow + 1ms;
    std::vector<WallTime> sends;
    for (const PlannedCut& cut : PlanVisit(c.interval, c.round_trip, earliest, c.most_cuts)) {
      sends.push_back(cut.send);
    }
    ASSERT_EQ(static_cast<int>(sends.size()), c.expected_cuts) << c.interval.low.count();
    EXPECT_GE(sends.front(), earliest);
    EXPECT_LT(sends.front(), earliest + 1s);
    const microseconds width = c.interval.high - c.interval.low;
    const microseconds piece = (width + c.round_trip * c.expected_cuts) / (c.expected_cuts + 1);
    const microseconds slack = piece + 1us * c.expected_cuts;  // integer division's remainders
    // Each send cuts at x = N − t0 for the server's next second N: every outcome leaves a piece.
    const auto tick = ceil<seconds>(sends.front() + c.interval.low);
    std::vector<microseconds> cuts;
    for (const WallTime send : sends) cuts.push_back(WallTime{tick} - send);
    EXPECT_LE(c.interval.high - cuts.front() + c.round_trip, slack);
    EXPECT_LE(cuts.back() - c.interval.low, slack);
    for (std::size_t i = 1; i < sends.size(); ++i) {
      EXPECT_GE(sends[i] - sends[i - 1], c.round_trip * 11 / 10);
      EXPECT_LE(cuts[i - 1] - cuts[i] + c.round_trip, slack);
    }
  }
}

SiteLimits TestLimits() {
  SiteLimits limits;
  limits.earliest_date = sys_days{2026y / 12 / 8};
  return limits;
}

TEST(SiteMeasurement, HoldsTheTrueOffsetWithinAFewMillisecondsInBudget) {
  const microseconds offsets[] = {2345us * 1000, -618ms, 3 * 365 * 24h + 123457us, 0us, 999999us};
  int runs = 0;
  for (const microseconds offset : offsets) {
    for (std::uint32_t seed = 1; seed <= 20; ++seed, ++runs) {
      VirtualTime time(kNow + microseconds(seed * 37'111));
      SimulatedExchange exchange(time, {offset, 5ms, 15ms, seed});
      const WallTime start = time.Now();
      const SiteMeasurement result =
          MeasureSite(exchange, "sim.example", time.Timing(), TestLimits());
      ASSERT_TRUE(result.interval) << result.failure;
      EXPECT_TRUE(result.interval->Contains(offset)) << offset.count() << " seed " << seed;
      EXPECT_LE(result.interval->HalfWidth(), 22ms) << offset.count() << " seed " << seed;
      EXPECT_LE(result.requests, 16);
      EXPECT_LE(time.Now() - start, 4s);
    }
  }
}

TEST(SiteMeasurement, AnswersThatCannotBeTrustedFailTheSiteByName) {
  struct Case {
    const char* what;
    SimulatedServer server;
    const char* failure;  // nullptr: measured
  };
  auto each = [](std::function<void(TimedAnswer&, int)> alter) {
    SimulatedServer server{1s};
    server.alter = std::move(alter);
    return server;
  };
  const Case cases[] = {
      {"no Date", each([](TimedAnswer& a, int) { a.date.clear(); }), "没有 Date"},
      {"a Date in another form", each([](TimedAnswer& a, int) { a.date = "1765323000"; }),
       "“1765323000” 不是"},
      {"a Date before the release",
       each([](TimedAnswer& a, int) { a.date = "Thu, 01 Jan 1970 00:00:00 GMT"; }),
       "早于本程序的发布日期 2026-12-08"},
      {"every answer from a cache", each([](TimedAnswer& a, int) { a.age = "120"; }), "Age: 120"},
      {"the first from a cache, then fresh",
       each([](TimedAnswer& a, int request) { a.age = request == 1 ? "7" : "0"; }), nullptr},
      {"servers with different clocks taking turns", each([](TimedAnswer& a, int request) {
         if (request % 2 == 0) a.date = "Fri, 11 Dec 2026 00:00:00 GMT";
       }),
       "彼此矛盾"},
      {"the proxy's own refusal", each([](TimedAnswer& a, int) { a.status = 407; }), "407"},
      {"a request failing after the first answer keeps what was proved",
       [] {
         SimulatedServer server{1s};
         server.failing_request = 3;
         return server;
       }(),
       nullptr},
      {"the first request failing",
       [] {
         SimulatedServer server{1s};
         server.failing_request = 1;
         return server;
       }(),
       "没有及时回答"},
  };
  for (const Case& c : cases) {
    VirtualTime time(kNow);
    SimulatedExchange exchange(time, c.server);
    const SiteMeasurement result =
        MeasureSite(exchange, "sim.example", time.Timing(), TestLimits());
    if (c.failure == nullptr) {
      ASSERT_TRUE(result.interval) << c.what << ": " << result.failure;
      EXPECT_TRUE(result.interval->Contains(1s)) << c.what;
    } else {
      EXPECT_FALSE(result.interval) << c.what;
      EXPECT_NE(result.failure.find(c.failure), std::string::npos)
          << c.what << ": " << result.failure;
    }
  }
}

}  // namespace
}  // namespace horalux
