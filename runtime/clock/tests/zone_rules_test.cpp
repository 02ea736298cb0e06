#include "runtime/clock/zone_rules.h"

#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "testing/scoped_environment.h"

namespace horalux {
namespace {

using namespace std::chrono_literals;
using std::chrono::local_days;
using std::chrono::local_seconds;
using std::chrono::sys_days;
using std::chrono::sys_seconds;
using testing::ScopedEnvironment;

struct ZoneCase {
  const char* what;
  const char* zone;
  local_seconds local;
  sys_seconds utc;
};

TEST(LocalToUtc, FollowsTheZoneRulesThroughGapsAndOverlaps) {
  const ZoneCase cases[] = {
      {"UTC has no offset", "UTC", local_days{2024y / 5 / 17} + 10h,
       sys_days{2024y / 5 / 17} + 10h},
      {"Shanghai is eight hours ahead, back to the previous day", "Asia/Shanghai",
       local_days{2024y / 1 / 1} + 7h + 59min + 59s, sys_days{2023y / 12 / 31} + 23h + 59min + 59s},
      {"Berlin in winter", "Europe/Berlin", local_days{2024y / 1 / 15} + 12h,
       sys_days{2024y / 1 / 15} + 11h},
      {"Berlin in summer", "Europe/Berlin", local_days{2024y / 7 / 15} + 12h,
       sys_days{2024y / 7 / 15} + 10h},
      {"Berlin just before the spring gap", "Europe/Berlin",
       local_days{2024y / 3 / 31} + 1h + 59min + 59s, sys_days{2024y / 3 / 31} + 59min + 59s},
      {"Berlin at the start of the gap moves on an hour", "Europe/Berlin",
       local_days{2024y / 3 / 31} + 2h, sys_days{2024y / 3 / 31} + 1h},
      {"Berlin inside the gap moves on an hour", "Europe/Berlin",
       local_days{2024y / 3 / 31} + 2h + 30min, sys_days{2024y / 3 / 31} + 1h + 30min},
      {"Berlin just after the gap", "Europe/Berlin", local_days{2024y / 3 / 31} + 3h,
       sys_days{2024y / 3 / 31} + 1h},
      {"Berlin in the autumn overlap takes the first, summer, occurrence", "Europe/Berlin",
       local_days{2024y / 10 / 27} + 2h + 30min, sys_days{2024y / 10 / 27} + 30min},
      {"Berlin at the start of the overlap takes the first occurrence", "Europe/Berlin",
       local_days{2024y / 10 / 27} + 2h, sys_days{2024y / 10 / 27}},
      {"Berlin after the overlap", "Europe/Berlin", local_days{2024y / 10 / 27} + 3h,
       sys_days{2024y / 10 / 27} + 2h},
      {"New York inside the spring gap", "America/New_York",
       local_days{2024y / 3 / 10} + 2h + 15min, sys_days{2024y / 3 / 10} + 7h + 15min},
      {"New York in the autumn overlap", "America/New_York",
       local_days{2024y / 11 / 3} + 1h + 30min, sys_days{2024y / 11 / 3} + 5h + 30min},
      {"Lord Howe's half-hour gap", "Australia/Lord_Howe", local_days{2024y / 10 / 6} + 2h + 10min,
       sys_days{2024y / 10 / 5} + 15h + 40min},
      {"Samoa skipped a whole day", "Pacific/Apia", local_days{2011y / 12 / 30} + 12h,
       sys_days{2011y / 12 / 30} + 22h},
  };
  for (const auto& c : cases) {
    ScopedEnvironment zone("TZ", c.zone);
    EXPECT_EQ(LocalToUtc(c.local), c.utc) << c.what;
  }
}

TEST(UtcToLocal, ReadsTheWallClockOnBothSidesOfAChange) {
  ScopedEnvironment zone("TZ", "Europe/Berlin");
  EXPECT_EQ(UtcToLocal(sys_days{2024y / 3 / 31} + 59min + 59s),
            local_days{2024y / 3 / 31} + 1h + 59min + 59s);
  EXPECT_EQ(UtcToLocal(sys_days{2024y / 3 / 31} + 1h), local_days{2024y / 3 / 31} + 3h);
  EXPECT_EQ(UtcToLocal(sys_days{2024y / 10 / 27} + 30min),
            local_days{2024y / 10 / 27} + 2h + 30min);
  EXPECT_EQ(UtcToLocal(sys_days{2024y / 10 / 27} + 1h + 30min),
            local_days{2024y / 10 / 27} + 2h + 30min);
}

TEST(LocalToUtc, RoundTripsEveryHalfHourAcrossAYearOfChanges) {
  for (const char* name : {"Europe/Berlin", "America/Sao_Paulo", "Australia/Sydney"}) {
    ScopedEnvironment zone("TZ", name);
    for (sys_seconds utc = sys_days{2018y / 1 / 1}; utc < sys_days{2019y / 1 / 1}; utc += 30min) {
      const local_seconds local = UtcToLocal(utc);
      const sys_seconds back = LocalToUtc(local);
      // In an overlap the first occurrence comes back; every other moment comes back as itself.
      if (back != utc) {
        EXPECT_LT(back, utc) << name << " " << utc.time_since_epoch().count();
        EXPECT_EQ(UtcToLocal(back), local) << name << " " << utc.time_since_epoch().count();
      }
    }
  }
}

TEST(LocalToUtc, FollowsAChangeOfTzAndTheSystemZoneWhenTzIsUnset) {
  const local_seconds noon = local_days{2024y / 7 / 15} + 12h;
  {
    ScopedEnvironment zone("TZ", "Asia/Shanghai");
    EXPECT_EQ(LocalToUtc(noon), sys_days{2024y / 7 / 15} + 4h);
  }
  sys_seconds system_zone_noon;
  {
    // glibc reads /etc/localtime when TZ is unset, and takes UTC when there is none.
    const bool has_system_zone = std::filesystem::exists("/etc/localtime");
    ScopedEnvironment zone("TZ", has_system_zone ? std::optional<std::string>(":/etc/localtime")
                                                 : std::optional<std::string>("UTC"));
    system_zone_noon = LocalToUtc(noon);
  }
  ScopedEnvironment zone("TZ", std::nullopt);
  EXPECT_EQ(LocalToUtc(noon), system_zone_noon);
}

}  // namespace
}  // namespace horalux
