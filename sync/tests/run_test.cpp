// Combining sites, the wording of offsets and bounds, and whole runs over simulated sites: what
// is set, what is said, and the exit status.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sync/site_agreement.h"
#include "sync/sync_run.h"
#include "sync/sync_wording.h"
#include "sync/tests/simulated_site.h"
#include "testing/fake_clock.h"

namespace horalux {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;
using testing::FakeClock;
using testing::SimulatedExchange;
using testing::SimulatedServer;
using testing::VirtualTime;

TEST(SiteAgreement, TheLargestOverlappingSetWinsIfItIsAMajority) {
  struct Case {
    const char* what;
    std::vector<std::optional<OffsetInterval>> sites;
    std::optional<OffsetInterval> combined;
    std::vector<bool> agrees;
  };
  const std::optional<OffsetInterval> none;
  const Case cases[] = {
      {"one site", {OffsetInterval{1s, 2s}}, OffsetInterval{1s, 2s}, {true}},
      {"three agree: their intersection",
       {OffsetInterval{0ms, 30ms}, OffsetInterval{10ms, 40ms}, OffsetInterval{20ms, 50ms}},
       OffsetInterval{20ms, 30ms},
       {true, true, true}},
      {"one of three disagrees and is left out",
       {OffsetInterval{0ms, 30ms}, OffsetInterval{5s, 6s}, OffsetInterval{20ms, 50ms}},
       OffsetInterval{20ms, 30ms},
       {true, false, true}},
      {"two that disagree: no majority",
       {OffsetInterval{0ms, 30ms}, OffsetInterval{5s, 6s}},
       none,
       {false, false}},
      {"intervals that only touch do not overlap",
       {OffsetInterval{0ms, 30ms}, OffsetInterval{30ms, 60ms}},
       none,
       {false, false}},
      {"one failing: the others decide",
       {none, OffsetInterval{0ms, 30ms}, OffsetInterval{10ms, 40ms}},
       OffsetInterval{10ms, 30ms},
       {false, true, true}},
      {"all failing", {none, none}, none, {false, false}},
  };
  for (const Case& c : cases) {
    const Agreement agreement = CombineSites(c.sites);
    EXPECT_EQ(agreement.combined, c.combined) << c.what;
    EXPECT_EQ(agreement.agrees, c.agrees) << c.what;
  }
}

TEST(SyncWording, OffsetsAreSignedLongOnesSpelledOutAndBoundsRoundUp) {
  const std::pair<microseconds, const char*> offsets[] = {
      {2345ms, "+2.345 秒"}, {-618ms, "-0.618 秒"}, {-618499us, "-0.618 秒"},
      {1500us, "+0.002 秒"}, {0us, "+0.000 秒"},    {94608000123ms, "+94608000.123 秒"}};
  for (const auto& [offset, text] : offsets) EXPECT_EQ(OffsetText(offset), text);
  const std::pair<microseconds, const char*> bounds[] = {
      {6ms, "±0.006 秒"}, {5001us, "±0.006 秒"}, {1us, "±0.001 秒"}, {1s, "±1.000 秒"}};
  for (const auto& [bound, text] : bounds) EXPECT_EQ(BoundText(bound), text);
  // The summary's words spell an offset of a minute or more out; its figures stay in seconds.
  const std::pair<microseconds, const char*> leads[] = {
      {2345ms, "本机时钟比网站慢 2.345 秒（+2.345 秒"},
      {-(3min + 5250ms), "本机时钟比网站快 3 分 5.250 秒（-185.250 秒"},
      {2h + 3min, "本机时钟比网站慢 2 小时 3 分 0.000 秒（+7380.000 秒"},
      {3 * 365 * 24h + 250ms, "本机时钟比网站慢 1095 天 0.250 秒（+94608000.250 秒"}};
  for (const auto& [offset, lead] : leads) {
    const std::string summary = MeasuredSummary({offset - 1ms, offset + 1ms}, 1, 1, "未更改");
    EXPECT_EQ(summary.rfind(lead, 0), 0u) << summary;
  }
}

// Sites "a.example", "b.example", ... each simulated with its server, all on one virtual clock.
struct SimulatedRun {
  explicit SimulatedRun(std::vector<SimulatedServer> servers) : servers_(std::move(servers)) {
    for (std::size_t i = 0; i < servers_.size(); ++i) {
      request.urls.push_back("https://" + std::string(1, static_cast<char>('a' + i)) +
                             ".example/path");
    }
    services.open_exchange = [this](std::string_view url, const HttpRequestOptions& options) {
      EXPECT_EQ(options.proxy, request.proxy);
      const std::size_t index = static_cast<std::size_t>(url[8] - 'a');
      if (servers_[index].offset == kUnreachable) {
        throw Error(ErrorKind::kNetwork, "无法连接网站 “" + std::string(1, url[8]) + ".example”");
      }
      return std::unique_ptr<TimedExchange>(
          std::make_unique<SimulatedExchange>(time_, servers_[index]));
    };
    services.now = [this] { return time_.Now(); };
    services.sleep_until = [this](WallTime until) { time_.AdvanceTo(until); };
    services.clock = &clock;
  }
  static constexpr microseconds kUnreachable = microseconds::min();

  SyncRequest request;
  SyncServices services;
  FakeClock clock;

 private:
  VirtualTime time_{WallTime{sys_days{2026y / 12 / 9} + 23h + 30min}};
  std::vector<SimulatedServer> servers_;
};

TEST(RunTimeSync, SetsOnceByTheAgreedOffsetAndReportsEachSite) {
  enum Mode { kQuery, kSync, kSyncRefused };
  struct Case {
    Mode mode;
    std::vector<microseconds> offsets;  // the sites' servers
    SyncReport::Outcome outcome;
    std::vector<const char*> said;  // in the site lines and the summary, in order
  };
  using Outcome = SyncReport::Outcome;
  const auto unreachable = SimulatedRun::kUnreachable;
  const Case cases[] = {
      {kQuery,
       {2345ms},
       Outcome::kMeasured,
       {"a.example：+2.3", "，误差 ±0.0", "比网站慢 2.3", "（+2.3", "依据 1 个网站中的 1 个",
        "未更改"}},
      {kSync,
       {-618ms, 10s, -618ms},
       Outcome::kSet,
       {"b.example：+", "不一致，未采用", "快 0.6", "3 个网站中的 2 个", "已校正"}},
      {kSync, {2345ms, 10s}, Outcome::kFailed, {"不一致（a.example、b.example）", "未更改"}},
      {kSync,
       {unreachable, 3 * 365 * 24h},
       Outcome::kSet,
       {"a.example：失败（请求 0 次）：无法连接", "依据 2 个网站中的 1 个"}},
      {kSync, {unreachable, unreachable}, Outcome::kFailed, {"2 个网站都没有给出可用的时间"}},
      {kSync, {0us}, Outcome::kAlreadyRight, {"在误差之内一致", "时钟已经准确，未作更改"}},
      {kSyncRefused, {2345ms}, Outcome::kFailed, {"但系统拒绝修改时间"}},
  };
  for (const Case& c : cases) {
    std::vector<SimulatedServer> servers;
    std::uint32_t seed = 1;
    for (const microseconds offset : c.offsets) servers.push_back({offset, 5ms, 15ms, seed++});
    SimulatedRun run(servers);
    run.request.set_clock = c.mode != kQuery;
    run.request.proxy = "http://proxy.example:3128";
    if (c.mode == kSyncRefused) run.clock.RefuseAdjustments();
    const SyncReport report = RunTimeSync(run.request, run.services);

    std::string all;
    for (const auto& line : report.site_lines) all += line + "\n";
    all += report.summary;
    SCOPED_TRACE(all);
    EXPECT_EQ(report.outcome, c.outcome);
    const bool succeeded = c.outcome != Outcome::kFailed;
    EXPECT_EQ(report.exit_status, succeeded ? 0 : 1);
    EXPECT_EQ(report.site_lines.size(), c.offsets.size());
    EXPECT_EQ(report.errors.empty(), succeeded && c.offsets.front() != unreachable);
    // Exactly one move, by the offset of the majority (the last site is always in it).
    const auto& changes = run.clock.changes();
    if (c.outcome == Outcome::kSet) {
      ASSERT_EQ(changes.size(), 1u);
      const auto offset = std::get<FakeClock::Adjustment>(changes[0]).offset;
      EXPECT_LE(abs(offset - c.offsets.back()), 20ms);
    } else {
      EXPECT_TRUE(changes.empty());
    }
    std::size_t from = 0;
    for (const char* part : c.said) {
      const std::size_t at = all.find(part, from);
      EXPECT_NE(at, std::string::npos) << part;
      if (at != std::string::npos) from = at;
    }
  }
}

}  // namespace
}  // namespace horalux
