// A press of the set-clock command from end to end below the window: the handlers on the
// computer's own Linux clock, which asks stand-ins for polkit and systemd-timedated on a private
// bus, and the real web time query against a loopback server that answers with the real time.
// The stand-ins never move the clock, so every value asked for can be compared with the real time.
#include <time.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "handlers/form1_handlers.h"
#include "runtime/clock/clock_linux.h"
#include "runtime/datetime/text_forms.h"
#include "testing/clock_guard.h"
#include "testing/fake_window.h"
#include "testing/loopback_server.h"
#include "testing/loopback_socket.h"
#include "testing/polkit_mock.h"
#include "testing/recording_message_box.h"
#include "testing/scoped_environment.h"
#include "testing/squid_proxy.h"
#include "testing/timedated_mock.h"
#include "webtime/web_time.h"

namespace horalux {
namespace {

using namespace std::chrono;
using testing::FakeWindow;
using testing::LoopbackServer;
using testing::PolkitMock;
using testing::PrivateSystemBus;
using testing::ReceivedRequest;
using testing::RecordingMessageBox;
using testing::Reply;
using testing::ScopedEnvironment;
using testing::SquidProxy;
using testing::TimedatedMock;

using UsecUtc = sys_time<microseconds>;

// The real time, in the Date header of a response, noting when each request came.
class RealTimeServer {
 public:
  RealTimeServer()
      : server_([this](const ReceivedRequest&) {
          const UsecUtc now = floor<microseconds>(system_clock::now());
          {
            std::lock_guard lock(mutex_);
            request_times_.push_back(now);
          }
          const time_t seconds = system_clock::to_time_t(floor<std::chrono::seconds>(now));
          tm fields{};
          gmtime_r(&seconds, &fields);
          char date[64];
          strftime(date, sizeof date, "%a, %d %b %Y %H:%M:%S GMT", &fields);
          return Reply::Response(200, {std::string("Date: ") + date});
        }) {}

  std::string Url() const { return server_.Url(); }
  std::vector<UsecUtc> RequestTimes() {
    std::lock_guard lock(mutex_);
    return request_times_;
  }

 private:
  std::mutex mutex_;
  std::vector<UsecUtc> request_times_;
  LoopbackServer server_;  // last: it stops before what its handler uses goes
};

enum class Polkit { kAbsent, kAllowsAfterFiveSeconds, kRefuses };

struct PressCase {
  const char* what;
  Polkit polkit;
  bool sets_the_clock;
};

TEST(PressOnTimedated, PolkitIsAskedBeforeTheFetchAndTheClockIsSetToTheTimeJustFetched) {
  ASSERT_FALSE(testing::ProcessMaySetTheClock()) << "run the tests through scripts/sandbox.sh";
  const PressCase cases[] = {
      {"no polkit on the bus: as before", Polkit::kAbsent, true},
      // A password typed in five seconds: the time is fetched after it, so the clock is not
      // left five seconds behind.
      {"polkit allows after a prompt", Polkit::kAllowsAfterFiveSeconds, true},
      {"polkit refuses", Polkit::kRefuses, false},
  };
  // The web time is UTC+8, so in Shanghai it is the real local time.
  ScopedEnvironment zone("TZ", "Asia/Shanghai");
  const TextForms forms = TextFormsForLocale("C.UTF-8");
  for (const PressCase& c : cases) {
    PrivateSystemBus bus;
    ScopedEnvironment bus_address("DBUS_SYSTEM_BUS_ADDRESS", bus.address());
    TimedatedMock timedated(bus);
    std::optional<PolkitMock> polkit;
    if (c.polkit != Polkit::kAbsent) {
      polkit.emplace(bus);
      const bool allows = c.polkit == Polkit::kAllowsAfterFiveSeconds;
      polkit->Answer(allows, false, {}, allows ? 5s : 0s);
    }
    RealTimeServer server;
    FakeWindow window;
    window.text2 = server.Url();
    RecordingMessageBox boxes;
    const auto clock = OpenLinuxClock([] { return system_clock::now(); }, false);
    Form1Handlers handlers(window, boxes, *clock, forms,
                           [&](std::string_view url) { return GetWebTime(url, forms); });

    const UsecUtc pressed = floor<microseconds>(system_clock::now());
    handlers.Command1_Click();

    ASSERT_EQ(boxes.shown().size(), 1u) << c.what;
    const auto requests = server.RequestTimes();
    const auto calls = timedated.SetTimeCalls();
    if (polkit) {
      EXPECT_EQ(polkit->Calls().size(), 1u) << c.what;
    }
    if (!c.sets_the_clock) {
      EXPECT_TRUE(boxes.shown()[0].is_error) << c.what;
      EXPECT_NE(boxes.shown()[0].text.find("身份验证未通过"), std::string::npos)
          << boxes.shown()[0].text;
      EXPECT_TRUE(requests.empty()) << c.what;
      EXPECT_TRUE(calls.empty()) << c.what;
      continue;
    }
    EXPECT_FALSE(boxes.shown()[0].is_error) << c.what << ": " << boxes.shown()[0].text;
    ASSERT_EQ(requests.size(), 1u) << c.what;
    ASSERT_EQ(calls.size(), 2u) << c.what;
    if (c.polkit == Polkit::kAllowsAfterFiveSeconds) {
      EXPECT_GE(requests[0] - pressed, 5s)
          << c.what << ": the time was fetched before polkit answered";
    }
    // The date keeps the running time of day, a moment after the fetch; the time of day is the
    // fetched one, to the second.
    const microseconds date_after_fetch{calls[0].usec_utc - requests[0].time_since_epoch().count()};
    EXPECT_GE(date_after_fetch, 0us) << c.what;
    EXPECT_LT(date_after_fetch, 500ms) << c.what;
    EXPECT_EQ(calls[1].usec_utc, floor<seconds>(requests[0]).time_since_epoch().count() * 1'000'000)
        << c.what;
  }
}

// A proxy's own answer carries no time of the site's: a press that gets one sets nothing, says
// why, and leaves the window ready for the next press.
TEST(PressOnTimedated, AProxysOwnAnswerSetsNothing) {
  ASSERT_FALSE(testing::ProcessMaySetTheClock()) << "run the tests through scripts/sandbox.sh";
  const TextForms forms = TextFormsForLocale("C.UTF-8");
  RealTimeServer server;
  const SquidProxy squid(SquidProxy::Logon::kBasic);
  const std::string unreachable =
      "http://127.0.0.1:" + std::to_string(testing::UnusedLoopbackPort()) + "/";
  struct Case {
    const char* what;
    const char* password;
    std::string url;
    const char* cause;
  };
  const std::vector<Case> cases = {
      {"a wrong proxy password", "wrong", server.Url(), "用户名或密码不对"},
      {"squid cannot reach the site", "secret", unreachable, "无法连接到主机"},
  };
  for (const Case& c : cases) {
    PrivateSystemBus bus;
    ScopedEnvironment environment({{"DBUS_SYSTEM_BUS_ADDRESS", bus.address()},
                                   {"http_proxy", squid.Url(c.password)},
                                   {"no_proxy", std::nullopt},
                                   {"NO_PROXY", std::nullopt}});
    TimedatedMock timedated(bus);
    FakeWindow window;
    window.text2 = c.url;
    RecordingMessageBox boxes;
    const auto clock = OpenLinuxClock([] { return system_clock::now(); }, false);
    Form1Handlers handlers(window, boxes, *clock, forms,
                           [&](std::string_view url) { return GetWebTime(url, forms); });

    handlers.Command1_Click();

    ASSERT_EQ(boxes.shown().size(), 1u) << c.what;
    EXPECT_TRUE(boxes.shown()[0].is_error) << c.what;
    EXPECT_NE(boxes.shown()[0].text.find(c.cause), std::string::npos) << boxes.shown()[0].text;
    EXPECT_TRUE(timedated.SetTimeCalls().empty()) << c.what;
    EXPECT_EQ(window.text1, "") << c.what;
    EXPECT_FALSE(window.busy) << c.what;
  }
  // squid refused the logon, and could not reach the other: the site was never asked.
  EXPECT_TRUE(server.RequestTimes().empty());
}

}  // namespace
}  // namespace horalux
