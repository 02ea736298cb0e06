// The Linux clock against a stand-in for systemd-timedated on a private system bus. The clock
// itself is never moved: the stand-in only records, and the suite runs without CAP_SYS_TIME.
#include "runtime/clock/clock_linux.h"

#include <cstdint>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <variant>

#include <gtest/gtest.h>

#include "runtime/base/error.h"
#include "testing/clock_guard.h"
#include "testing/polkit_mock.h"
#include "testing/scoped_environment.h"
#include "testing/timedated_mock.h"

namespace horalux {
namespace {

using namespace std::chrono_literals;
using std::chrono::microseconds;
using std::chrono::sys_days;
using std::chrono::sys_time;
using std::chrono::year_month_day;
using testing::CheckAuthorizationCall;
using testing::PolkitMock;
using testing::PrivateSystemBus;
using testing::ScopedEnvironment;
using testing::SetTimeCall;
using testing::TimedatedMock;

using testing::ProcessMaySetTheClock;

NowSource FixedNow(sys_time<microseconds> now) {
  return [now] { return std::chrono::system_clock::time_point{now}; };
}

std::int64_t Usec(sys_time<microseconds> time) { return time.time_since_epoch().count(); }

std::string Describe(const std::vector<SetTimeCall>& calls) {
  std::string text;
  for (const auto& call : calls) {
    text += "SetTime(" + std::to_string(call.usec_utc) + ", " + (call.relative ? "true" : "false") +
            ", " + (call.interactive ? "true" : "false") + ") ";
  }
  return text;
}

class ClockOnTimedated : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(ProcessMaySetTheClock()) << "run the tests through scripts/sandbox.sh";
    bus_.emplace();
    bus_address_.emplace("DBUS_SYSTEM_BUS_ADDRESS", bus_->address());
    timedated_.emplace(*bus_);
  }
  void TearDown() override {
    timedated_.reset();
    bus_address_.reset();
    bus_.reset();
  }

  std::optional<PrivateSystemBus> bus_;
  std::optional<ScopedEnvironment> bus_address_;
  std::optional<TimedatedMock> timedated_;
};

struct SetCase {
  const char* what;
  const char* zone;
  sys_time<microseconds> now;
  std::variant<year_month_day, std::chrono::seconds> wanted;
  sys_time<microseconds> expected_utc;
};

TEST_F(ClockOnTimedated, AsksForTheUtcMomentOfTheWantedLocalTime) {
  const SetCase cases[] = {
      {"UTC date keeps the time of day to the microsecond", "UTC",
       sys_days{2024y / 5 / 17} + 10h + 20min + 30s + 250ms, year_month_day{2025y / 1 / 2},
       sys_days{2025y / 1 / 2} + 10h + 20min + 30s + 250ms},
      {"UTC time keeps the date", "UTC", sys_days{2024y / 5 / 17} + 10h + 20min + 30s + 250ms,
       23h + 59min + 59s, sys_days{2024y / 5 / 17} + 23h + 59min + 59s},
      {"Shanghai date: the local date is already a day ahead of UTC", "Asia/Shanghai",
       sys_days{2024y / 5 / 17} + 20h + 500ms, year_month_day{2024y / 12 / 31},
       sys_days{2024y / 12 / 30} + 20h + 500ms},
      {"Shanghai time keeps the local, not the UTC, date", "Asia/Shanghai",
       sys_days{2024y / 5 / 17} + 20h, 7h + 8min + 9s, sys_days{2024y / 5 / 17} + 23h + 8min + 9s},
      {"Shanghai midnight is the previous UTC day", "Asia/Shanghai", sys_days{2024y / 5 / 17} + 20h,
       0s, sys_days{2024y / 5 / 17} + 16h},
      {"Berlin date from winter to summer keeps the wall-clock time", "Europe/Berlin",
       sys_days{2024y / 1 / 10} + 11h, year_month_day{2024y / 7 / 1},
       sys_days{2024y / 7 / 1} + 10h},
      {"Berlin date onto the spring change lands after the gap", "Europe/Berlin",
       sys_days{2024y / 3 / 30} + 1h + 30min, year_month_day{2024y / 3 / 31},
       sys_days{2024y / 3 / 31} + 1h + 30min},
      {"Berlin time inside the spring gap lands after it", "Europe/Berlin",
       sys_days{2024y / 3 / 31} + 10h, 2h + 30min, sys_days{2024y / 3 / 31} + 1h + 30min},
      {"Berlin time in the autumn overlap takes the first occurrence", "Europe/Berlin",
       sys_days{2024y / 10 / 27} + 10h, 2h + 30min, sys_days{2024y / 10 / 27} + 30min},
      {"Berlin time on the autumn day after the overlap", "Europe/Berlin",
       sys_days{2024y / 10 / 27} + 10h, 12h, sys_days{2024y / 10 / 27} + 11h},
  };
  for (const auto& c : cases) {
    ScopedEnvironment zone("TZ", c.zone);
    timedated_->ClearCalls();
    auto clock = OpenLinuxClock(FixedNow(c.now), false);
    std::visit(
        [&clock](const auto& wanted) {
          if constexpr (std::is_same_v<std::decay_t<decltype(wanted)>, year_month_day>) {
            clock->SetLocalDate(wanted);
          } else {
            clock->SetLocalTimeOfDay(wanted);
          }
        },
        c.wanted);
    const auto calls = timedated_->SetTimeCalls();
    ASSERT_EQ(calls.size(), 1u) << c.what << ": " << Describe(calls);
    EXPECT_EQ(calls[0].usec_utc, Usec(c.expected_utc)) << c.what;
    EXPECT_FALSE(calls[0].relative) << c.what;
    EXPECT_TRUE(calls[0].interactive) << c.what;
    EXPECT_TRUE(calls[0].allows_interactive_authorization) << c.what;
  }
}

TEST_F(ClockOnTimedated, DateThenTimeFromTextMakeTwoCallsInThatOrder) {
  ScopedEnvironment zone("TZ", "Asia/Shanghai");
  auto clock = OpenLinuxClock(FixedNow(sys_days{2024y / 5 / 17} + 3h), false);
  SetLocalDateFromText(*clock, "2024-05-18");
  SetLocalTimeFromText(*clock, "00:00:00");
  const auto calls = timedated_->SetTimeCalls();
  ASSERT_EQ(calls.size(), 2u) << Describe(calls);
  EXPECT_EQ(calls[0].usec_utc, Usec(sys_days{2024y / 5 / 18} + 3h));
  // "now" stayed put, as the stand-in does not move the clock: the date kept is still the 17th.
  EXPECT_EQ(calls[1].usec_utc, Usec(sys_days{2024y / 5 / 16} + 16h));
  for (const auto& call : calls) {
    EXPECT_FALSE(call.relative);
    EXPECT_TRUE(call.interactive);
    EXPECT_TRUE(call.allows_interactive_authorization);
  }
}

TEST_F(ClockOnTimedated, RefusesATimeBeforeTheEpochWithoutAsking) {
  // 04:00 in Shanghai on 1 January 1970 is still 1969 in UTC.
  ScopedEnvironment zone("TZ", "Asia/Shanghai");
  auto clock = OpenLinuxClock(FixedNow(sys_days{2024y / 5 / 16} + 20h), false);
  try {
    clock->SetLocalDate(year_month_day{1970y / 1 / 1});
    ADD_FAILURE() << "a time before 1970-01-01 UTC was accepted";
  } catch (const Error& error) {
    EXPECT_EQ(error.kind(), ErrorKind::kClockRefused) << error.what();
    EXPECT_NE(error.detail().find("1970-01-01"), std::string::npos) << error.what();
  }
  EXPECT_TRUE(timedated_->SetTimeCalls().empty());
}

struct RefusalCase {
  const char* error_name;
  const char* message;
  const char* expected_cause;
};

TEST_F(ClockOnTimedated, RefusalsNameTheirCauseAndNothingElseIsTried) {
  const RefusalCase cases[] = {
      {"org.freedesktop.timedate1.AutomaticTimeSyncEnabled",
       "Automatic time synchronization is enabled", "timedatectl set-ntp false"},
      {"org.freedesktop.PolicyKit1.Error.NotAuthorized", "Not authorized", "身份验证未通过"},
      {"org.freedesktop.DBus.Error.AccessDenied", "Access denied", "身份验证未通过"},
      {"org.freedesktop.PolicyKit1.Error.Cancelled", "Cancelled", "身份验证被取消"},
      {"org.freedesktop.DBus.Error.InteractiveAuthorizationRequired",
       "Interactive authentication required", "身份验证代理"},
      // timedated's own wait for polkit ran out: the prompt was left too long.
      {"org.freedesktop.DBus.Error.NoReply", "Method call timed out", "超过 25 秒"},
      {"org.freedesktop.DBus.Error.InvalidArgs", "Invalid absolute time",
       "org.freedesktop.DBus.Error.InvalidArgs：Invalid absolute time"},
  };
  ScopedEnvironment zone("TZ", "Asia/Shanghai");
  auto clock = OpenLinuxClock(FixedNow(sys_days{2024y / 5 / 17} + 3h), false);
  for (const auto& c : cases) {
    timedated_->FailSetTime(c.error_name, c.message);
    timedated_->ClearCalls();
    try {
      clock->SetLocalTimeOfDay(8h + 30min);
      ADD_FAILURE() << c.error_name << " was not reported";
    } catch (const Error& error) {
      EXPECT_EQ(error.kind(), ErrorKind::kClockRefused) << error.what();
      EXPECT_NE(error.detail().find(c.expected_cause), std::string::npos) << error.what();
      EXPECT_NE(error.detail().find(Quoted("2024-05-17 08:30:00")), std::string::npos)
          << error.what();
      // A refusal is final: no fall-back to setting the clock directly.
      EXPECT_EQ(error.detail().find("CAP_SYS_TIME"), std::string::npos) << error.what();
    }
    EXPECT_EQ(timedated_->SetTimeCalls().size(), 1u) << c.error_name;
  }
}

struct AdjustmentCase {
  const char* what;
  microseconds offset;
  const char* error_name;      // SetTime's answer, or nullptr for none
  const char* expected_cause;  // what the refusal names
};

TEST_F(ClockOnTimedated, AdjustByAsksForARelativeMoveWithoutAPromptAndNamesRefusals) {
  const AdjustmentCase cases[] = {
      {"forward by a fraction", 2345678us, nullptr, nullptr},
      {"back by less than a second", -618000us, nullptr, nullptr},
      {"three years forward, as after a dead battery", 3 * 365 * 24h + 250ms, nullptr, nullptr},
      {"NTP on", 1s, "org.freedesktop.timedate1.AutomaticTimeSyncEnabled",
       "timedatectl set-ntp false"},
      {"refused by polkit: nobody at a terminal can answer a prompt", 1s,
       "org.freedesktop.PolicyKit1.Error.NotAuthorized", "sudo"},
      {"a prompt would be needed", 1s,
       "org.freedesktop.DBus.Error.InteractiveAuthorizationRequired", "sudo"},
  };
  ScopedEnvironment zone("TZ", "UTC");
  ScopedEnvironment no_desktop({{"DISPLAY", std::nullopt}, {"WAYLAND_DISPLAY", std::nullopt}});
  auto clock = OpenLinuxClock(FixedNow(sys_days{2024y / 5 / 17} + 3h), false);
  for (const auto& c : cases) {
    if (c.error_name != nullptr) timedated_->FailSetTime(c.error_name, "refused");
    timedated_->ClearCalls();
    try {
      clock->AdjustBy(c.offset);
      EXPECT_EQ(c.error_name, nullptr) << c.what << " was not reported";
    } catch (const Error& error) {
      ASSERT_NE(c.expected_cause, nullptr) << c.what << ": " << error.what();
      EXPECT_EQ(error.kind(), ErrorKind::kClockRefused) << error.what();
      EXPECT_NE(error.detail().find(c.expected_cause), std::string::npos) << error.what();
    }
    const auto calls = timedated_->SetTimeCalls();
    ASSERT_EQ(calls.size(), 1u) << c.what << ": " << Describe(calls);
    EXPECT_EQ(calls[0].usec_utc, c.offset.count()) << c.what;
    EXPECT_TRUE(calls[0].relative) << c.what;
    EXPECT_FALSE(calls[0].interactive) << c.what;
    EXPECT_FALSE(calls[0].allows_interactive_authorization) << c.what;
  }
}

struct AuthorizationCase {
  const char* what;
  bool as_root;
  bool authorized;
  bool challenge;
  std::map<std::string, std::string> details;
  const char* refusal;  // what the refusal names, or nullptr when there is none
};

TEST_F(ClockOnTimedated, AuthorizeAsksPolkitOnceAsThisProcessAndReportsRefusals) {
  const AuthorizationCase cases[] = {
      {"authorized", false, true, false, {}, nullptr},
      {"refused", false, false, false, {}, "身份验证未通过"},
      {"prompt dismissed", false, false, false, {{"polkit.dismissed", "true"}}, "身份验证被取消"},
      {"no agent to ask for the password", false, false, true, {}, "身份验证代理"},
      {"root is not asked about", true, false, false, {}, nullptr},
  };
  const auto now = FixedNow(sys_days{2024y / 5 / 17} + 3h);
  // Without polkit on the bus nobody is asked, and the settings go on as they would.
  EXPECT_NO_THROW(OpenLinuxClock(now, false)->Authorize());

  PolkitMock polkit(*bus_);
  for (const auto& c : cases) {
    polkit.Answer(c.authorized, c.challenge, c.details);
    const std::size_t asked_before = polkit.Calls().size();
    try {
      OpenLinuxClock(now, c.as_root)->Authorize();
      EXPECT_EQ(c.refusal, nullptr) << c.what << " was not reported";
    } catch (const Error& error) {
      ASSERT_NE(c.refusal, nullptr) << c.what << ": " << error.what();
      EXPECT_EQ(error.kind(), ErrorKind::kClockRefused) << error.what();
      EXPECT_NE(error.detail().find(c.refusal), std::string::npos) << error.what();
    }
    const auto calls = polkit.Calls();
    ASSERT_EQ(calls.size(), asked_before + (c.as_root ? 0 : 1)) << c.what;
    if (c.as_root) continue;
    const CheckAuthorizationCall& call = calls.back();
    EXPECT_EQ(call.subject_kind, "system-bus-name") << c.what;
    EXPECT_EQ(call.subject_name, call.sender) << c.what;
    EXPECT_EQ(call.action_id, "org.freedesktop.timedate1.set-time") << c.what;
    EXPECT_EQ(call.details, 0u) << c.what;
    EXPECT_EQ(call.flags, 1u) << c.what << ": AllowUserInteraction";
    EXPECT_EQ(call.cancellation_id, "") << c.what;
  }
  EXPECT_TRUE(timedated_->SetTimeCalls().empty());
}

// Without timedated the clock is set directly, which the sandbox refuses. The real time is asked
// for, so that even a run that escaped the guard would leave the clock where it is.
void ExpectDirectSettingRefused(const std::string& expected_reason) {
  auto clock = OpenSystemClock();
  const auto today = std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now());
  // A date, and a move by nothing: both go to clock_settime, which the sandbox refuses.
  const std::function<void()> settings[] = {[&] { clock->SetLocalDate(year_month_day{today}); },
                                            [&] { clock->AdjustBy(microseconds{0}); }};
  for (const auto& setting : settings) {
    try {
      setting();
      ADD_FAILURE() << "setting the clock directly was not refused";
    } catch (const Error& error) {
      EXPECT_EQ(error.kind(), ErrorKind::kClockRefused) << error.what();
      EXPECT_NE(error.detail().find(expected_reason), std::string::npos) << error.what();
      EXPECT_NE(error.detail().find("CAP_SYS_TIME"), std::string::npos) << error.what();
      EXPECT_NE(error.detail().find("errno 1"), std::string::npos) << error.what();
    }
  }
}

TEST(ClockWithoutTimedated, FallsBackToClockSettimeWhenTheBusHasNoTimedated) {
  ASSERT_FALSE(ProcessMaySetTheClock()) << "run the tests through scripts/sandbox.sh";
  PrivateSystemBus bus;
  ScopedEnvironment bus_address("DBUS_SYSTEM_BUS_ADDRESS", bus.address());
  ExpectDirectSettingRefused("org.freedesktop.DBus.Error.ServiceUnknown");
}

TEST(ClockWithoutTimedated, FallsBackToClockSettimeWhenThereIsNoSystemBus) {
  ASSERT_FALSE(ProcessMaySetTheClock()) << "run the tests through scripts/sandbox.sh";
  ScopedEnvironment bus_address("DBUS_SYSTEM_BUS_ADDRESS",
                                "unix:path=/nonexistent/horalux-test/system_bus_socket");
  ExpectDirectSettingRefused("无法连接系统总线");
}

}  // namespace
}  // namespace horalux
