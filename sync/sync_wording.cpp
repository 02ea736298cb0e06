#include "sync/sync_wording.h"

#include <cstdio>
#include <cstdlib>
#include <utility>

namespace horalux {
namespace {

using std::chrono::microseconds;

// Whole milliseconds as "2.345".
std::string Milliseconds(long long milliseconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%lld.%03lld", milliseconds / 1000, milliseconds % 1000);
  return text;
}

long long RoundedMilliseconds(Offset offset) {
  const long long magnitude = std::llabs(offset.count());
  return (magnitude + 500) / 1000;
}

// Whole milliseconds of a minute or more spelled out for a person, "1095 天 0.250 秒", "3 分
// 5.250 秒": a clock years off after a dead battery is read as days, not as 94608000 seconds.
std::string SpanText(long long milliseconds) {
  constexpr long long kMinute = 60'000, kHour = 60 * kMinute, kDay = 24 * kHour;
  std::string text;
  const std::pair<long long, const char*> units[] = {
      {kDay, " 天 "}, {kHour, " 小时 "}, {kMinute, " 分 "}};
  for (const auto& [unit, name] : units) {
    if (milliseconds >= unit) {
      text += std::to_string(milliseconds / unit) + name;
      milliseconds %= unit;
    }
  }
  return text + Milliseconds(milliseconds) + " 秒";
}

std::string Basis(int agreeing, int sites) {
  return "依据 " + std::to_string(sites) + " 个网站中的 " + std::to_string(agreeing) + " 个";
}

}  // namespace

std::string OffsetText(Offset offset) {
  // Appended rather than joined: GCC 12 at -O3 for 32-bit Windows sees an overlap in the joined
  // temporaries that is not there (-Wrestrict), which stops the x86 release build.
  std::string text(offset.count() < 0 ? "-" : "+");
  text += Milliseconds(RoundedMilliseconds(offset));
  text += " 秒";
  return text;
}

std::string BoundText(Offset bound) {
  const long long magnitude = std::llabs(bound.count());
  return "±" + Milliseconds((magnitude + 999) / 1000) + " 秒";
}

std::string SiteLine(std::string_view host, const SiteMeasurement& measurement,
                     SiteStanding standing) {
  std::string line = std::string(host) + "：";
  const std::string requests = "请求 " + std::to_string(measurement.requests) + " 次";
  if (!measurement.interval) return line + "失败（" + requests + "）：" + measurement.failure;
  line += OffsetText(measurement.interval->Midpoint()) + "，误差 " +
          BoundText(measurement.interval->HalfWidth()) + "，" + requests;
  if (standing == SiteStanding::kDisagrees) line += "；与其他网站不一致，未采用";
  return line;
}

std::string MeasuredSummary(const OffsetInterval& combined, int agreeing, int sites,
                            std::string_view outcome) {
  const Offset offset = combined.Midpoint();
  const Offset bound = combined.HalfWidth();
  const std::string figures = "（" + OffsetText(offset) + "，误差 " + BoundText(bound) + "，" +
                              Basis(agreeing, sites) + "）";
  std::string lead;
  if (std::chrono::abs(offset) <= bound) {
    lead = "本机时钟与网站的时间在误差之内一致";
  } else {
    lead = std::string("本机时钟比网站") + (offset.count() > 0 ? "慢 " : "快 ") +
           SpanText(RoundedMilliseconds(offset));
  }
  return lead + figures + "，" + std::string(outcome) + "。";
}

std::string NoTimeSummary(int sites) {
  return (sites == 1 ? std::string("网站") : std::to_string(sites) + " 个网站都") +
         "没有给出可用的时间，系统时钟未更改。";
}

std::string NoAgreementSummary(const std::vector<std::string>& disagreeing) {
  std::string hosts;
  for (const std::string& host : disagreeing) hosts += (hosts.empty() ? "" : "、") + host;
  return "网站给出的时间彼此不一致（" + hosts + "），没有多数可依，系统时钟未更改。";
}

}  // namespace horalux
