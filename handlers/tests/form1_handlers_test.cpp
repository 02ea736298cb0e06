#include "handlers/form1_handlers.h"

#include <chrono>
#include <functional>
#include <future>
#include <stdexcept>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "handlers/started_query.h"
#include "runtime/base/error.h"
#include "runtime/datetime/form_builder.h"
#include "runtime/datetime/ole_date.h"
#include "testing/fake_clock.h"
#include "testing/fake_window.h"
#include "testing/recording_message_box.h"

namespace horalux {
namespace {

using namespace std::chrono;
using testing::FakeClock;
using testing::FakeWindow;
using testing::RecordingMessageBox;
using Change = FakeClock::Change;

// Forms that read the same on every platform, whatever the machine's regional settings.
const TextForms& Forms() {
  static const TextForms forms = IsoTextForms();
  return forms;
}

std::string TimeText(local_seconds moment) {
  return FormatDateTime(OleDate::FromLocalSeconds(moment), Forms());
}

RecordingMessageBox::Shown Prompt(std::string_view text) { return {false, std::string(text)}; }

// A query that answers from a script: each call takes the next answer, a time text or an error.
struct Fixture {
  Fixture()
      : handlers(window, boxes, clock, Forms(), [this](std::string_view url) {
          urls.emplace_back(url);
          busy_during_query.push_back(window.BecomesBusyWithin(10s));
          authorizations_before_query.push_back(clock.authorizations());
          return answer(url);
        }) {}

  FakeWindow window;
  RecordingMessageBox boxes;
  FakeClock clock;
  std::function<std::string(std::string_view)> answer = [](std::string_view) {
    return TimeText(local_days{1994y / 11 / 6} + 16h + 49min + 37s);
  };
  std::vector<std::string> urls;
  std::vector<bool> busy_during_query;
  std::vector<int> authorizations_before_query;
  Form1Handlers handlers;
};

TEST(Form1HandlersTest, StartUpShowsTheTimeAndTouchesNeitherTheTimeBoxNorTheClock) {
  Fixture fixture;
  fixture.handlers.Form_Load();

  EXPECT_EQ(fixture.boxes.shown(),
            std::vector{Prompt(TimeText(local_days{1994y / 11 / 6} + 16h + 49min + 37s))});
  EXPECT_EQ(fixture.urls, std::vector<std::string>{"http://time.example/"});
  EXPECT_EQ(fixture.busy_during_query, std::vector{true});
  EXPECT_EQ(fixture.window.waiting_texts,
            std::vector<std::string>{"正在从 time.example 获取时间……"});
  EXPECT_FALSE(fixture.window.busy);
  EXPECT_EQ(fixture.window.text1, "");
  EXPECT_TRUE(fixture.clock.changes().empty());
  EXPECT_EQ(fixture.clock.authorizations(), 0);
}

// The program starts the start-up query before its window; the load handler shows that query's
// answer, at once when it is in (else as a wait of its own), unless the address box names another
// URL, which it then asks with a wait.
TEST(Form1HandlersTest, StartUpTakesTheQueryStartedForTheUrlInTheBox) {
  struct Case {
    std::string started_url;
    std::vector<std::string> urls_queried_at_load;
    std::string shown;
    std::vector<std::string> waiting_texts;
  };
  const std::string web_time = TimeText(local_days{1994y / 11 / 6} + 16h + 49min + 37s);
  const Case cases[] = {
      {"http://time.example/", {}, "started answer", {}},
      {"http://other.example/",
       {"http://time.example/"},
       web_time,
       {"正在从 time.example 获取时间……"}},
  };
  for (const Case& c : cases) {
    Fixture fixture;
    StartedQuery started([](std::string_view) { return std::string("started answer"); },
                         c.started_url);
    started.call().WaitUntil(CallStage::kEnded, std::chrono::steady_clock::time_point::max());

    fixture.handlers.Form_Load(&started);

    EXPECT_EQ(fixture.urls, c.urls_queried_at_load) << c.started_url;
    EXPECT_EQ(fixture.boxes.shown(), std::vector{Prompt(c.shown)}) << c.started_url;
    EXPECT_EQ(fixture.window.waiting_texts, c.waiting_texts) << c.started_url;
  }
}

// The program's start waits for the start-up request to be on its way, never for its answer; a
// query that does not tell counts as on its way once it has ended; a request abandoned at its
// deadline may still tell after its thread has gone. A fault here hangs, or shows under ASan.
TEST(StartedQueryTest, WaitsUntilTheQuerySaysItIsUnderWayOrHasEnded) {
  std::promise<void> release;
  const std::shared_future<void> released = release.get_future().share();
  StartedQuery telling(
      [released](std::string_view, const std::function<void()>& under_way) {
        under_way();
        released.wait();
        return std::string("answer");
      },
      "http://time.example/");
  telling.WaitUntilUnderWay(hours(1));
  EXPECT_FALSE(telling.Ended());
  release.set_value();
  telling.call().WaitUntil(CallStage::kEnded, std::chrono::steady_clock::time_point::max());
  EXPECT_EQ(telling.call().Take(), "answer");

  const StartedQuery silent([](std::string_view) { return std::string("answer"); },
                            "http://time.example/");
  silent.WaitUntilUnderWay(hours(1));
  EXPECT_TRUE(silent.Ended());

  std::function<void()> late_notice;
  {
    const StartedQuery ended(
        [&late_notice](std::string_view, const std::function<void()>& under_way) {
          late_notice = under_way;
          return std::string("answer");
        },
        "http://time.example/");
    ended.WaitUntilUnderWay(hours(1));
  }
  late_notice();
}

// Cancelling the wait stops the handler silently: no box, the time box as it was, the clock
// untouched even if the answer came meanwhile; and the next press works.
TEST(Form1HandlersTest, CancelledWaitWritesNothingSetsNothingAndTheNextPressWorks) {
  for (const bool at_start : {true, false}) {
    Fixture fixture;
    fixture.window.text1 = "earlier text";
    fixture.window.cancel_next_wait = true;

    at_start ? fixture.handlers.Form_Load() : fixture.handlers.Command1_Click();

    EXPECT_TRUE(fixture.boxes.shown().empty()) << at_start;
    EXPECT_EQ(fixture.window.text1, "earlier text") << at_start;
    EXPECT_TRUE(fixture.clock.changes().empty()) << at_start;

    fixture.handlers.Command1_Click();
    EXPECT_EQ(fixture.boxes.shown(), std::vector{Prompt("设置时间成功！")}) << at_start;
    EXPECT_EQ(fixture.clock.changes().size(), 2u) << at_start;
  }
}

TEST(Form1HandlersTest, PressPutsTheTimeInTheBoxThenSetsTheDateThenTheTimeOfDay) {
  struct Case {
    local_seconds web_time;
    std::vector<Change> changes;
  };
  const Case cases[] = {
      {local_days{1994y / 11 / 6} + 16h + 49min + 37s,
       {year_month_day{1994y / 11 / 6}, 16h + 49min + 37s}},
      {local_days{2022y / 2 / 2}, {year_month_day{2022y / 2 / 2}, 0s}},
      {local_days{2000y / 2 / 29} + 4h, {year_month_day{2000y / 2 / 29}, 4h}},
      {local_days{2024y / 6 / 5} + 23h + 59min + 59s,
       {year_month_day{2024y / 6 / 5}, 23h + 59min + 59s}},
  };
  for (const Case& c : cases) {
    Fixture fixture;
    fixture.window.text1 = "2030-01-01 12:00:00";  // typed by the user: overwritten, never used
    fixture.answer = [&](std::string_view) { return TimeText(c.web_time); };

    fixture.handlers.Command1_Click();

    EXPECT_EQ(fixture.window.text1, TimeText(c.web_time));
    EXPECT_TRUE(fixture.clock.changes() == c.changes) << fixture.window.text1;
    EXPECT_EQ(fixture.boxes.shown(), std::vector{Prompt("设置时间成功！")});
    EXPECT_EQ(fixture.busy_during_query, std::vector{true});
  }
}

// A password prompt must not come between the fetch and the setting: the clock is authorized
// first, and without its authorization nothing is fetched or set.
TEST(Form1HandlersTest, PressAuthorizesTheClockBeforeItFetches) {
  struct Case {
    bool refused;
    std::vector<int> authorizations_before_query;
    std::size_t changes;
    bool reported_as_error;
  };
  const Case cases[] = {{false, {1}, 2, false}, {true, {}, 0, true}};
  for (const Case& c : cases) {
    Fixture fixture;
    if (c.refused) fixture.clock.RefuseAuthorization();

    fixture.handlers.Command1_Click();

    EXPECT_EQ(fixture.clock.authorizations(), 1);
    EXPECT_EQ(fixture.authorizations_before_query, c.authorizations_before_query);
    EXPECT_EQ(fixture.clock.changes().size(), c.changes);
    ASSERT_EQ(fixture.boxes.shown().size(), 1u);
    EXPECT_EQ(fixture.boxes.shown()[0].is_error, c.reported_as_error);
    EXPECT_FALSE(fixture.window.busy);
  }
}

TEST(Form1HandlersTest, EachPressAsksTheUrlInTheBoxAtThatMoment) {
  Fixture fixture;
  fixture.handlers.Command1_Click();
  fixture.window.text2 = "http://other.example/";
  fixture.handlers.Command1_Click();

  EXPECT_EQ(fixture.urls,
            (std::vector<std::string>{"http://time.example/", "http://other.example/"}));
  EXPECT_EQ(fixture.clock.changes().size(), 4u);
  EXPECT_EQ(fixture.boxes.shown(), std::vector(2, Prompt("设置时间成功！")));
}

TEST(Form1HandlersTest, TimeTextThatIsNotADateIsReportedAndTheClockLeftAlone) {
  Fixture fixture;
  fixture.answer = [](std::string_view) { return std::string("not a time"); };

  fixture.handlers.Command1_Click();

  EXPECT_EQ(fixture.window.text1, "not a time");
  EXPECT_EQ(fixture.boxes.shown(), std::vector{Prompt("输入时间错误！")});
  EXPECT_TRUE(fixture.clock.changes().empty());
}

// An error that escapes either handler is reported, whatever was done before it stays done, and
// the next press works.
TEST(Form1HandlersTest, ErrorsAreReportedAndTheNextPressStillWorks) {
  enum class Failure { kQuery, kUnexpected, kDateRefused, kTimeRefused };
  struct Case {
    Failure failure;
    std::string report_start;
    std::vector<Change> changes;
    std::string text1;
  };
  const std::string web_time = TimeText(local_days{1994y / 11 / 6} + 16h + 49min + 37s);
  const Case cases[] = {
      {Failure::kQuery, "网络错误", {}, "earlier text"},
      {Failure::kUnexpected,
       "系统错误：程序内部出现意外错误（basic_string::_M_create）",
       {},
       "earlier text"},
      {Failure::kDateRefused, "无法设置系统时间", {}, web_time},
      {Failure::kTimeRefused, "无法设置系统时间", {year_month_day{1994y / 11 / 6}}, web_time},
  };
  for (const Case& c : cases) {
    Fixture fixture;
    fixture.window.text1 = "earlier text";
    const auto good_answer = fixture.answer;
    if (c.failure == Failure::kQuery) {
      fixture.answer = [](std::string_view) -> std::string {
        throw Error(ErrorKind::kNetwork, "测试服务器不在");
      };
    } else if (c.failure == Failure::kUnexpected) {
      fixture.answer = [](std::string_view) -> std::string {
        throw std::length_error("basic_string::_M_create");
      };
    }
    if (c.failure == Failure::kDateRefused) fixture.clock.RefuseDates();
    if (c.failure == Failure::kTimeRefused) fixture.clock.RefuseTimes();

    fixture.handlers.Command1_Click();

    ASSERT_EQ(fixture.boxes.shown().size(), 1u);
    EXPECT_TRUE(fixture.boxes.shown()[0].is_error);
    EXPECT_TRUE(fixture.boxes.shown()[0].text.starts_with(c.report_start))
        << fixture.boxes.shown()[0].text;
    EXPECT_TRUE(fixture.clock.changes() == c.changes);
    EXPECT_EQ(fixture.window.text1, c.text1);
    EXPECT_FALSE(fixture.window.busy);

    if (c.failure == Failure::kQuery || c.failure == Failure::kUnexpected) {
      fixture.answer = good_answer;
      fixture.handlers.Command1_Click();
      EXPECT_EQ(fixture.boxes.shown().back(), Prompt("设置时间成功！"));
    }
  }
}

TEST(Form1HandlersTest, StartUpErrorIsReported) {
  Fixture fixture;
  fixture.answer = [](std::string_view) -> std::string {
    throw Error(ErrorKind::kTypeMismatch, "网站的应答中没有 Date 头");
  };

  fixture.handlers.Form_Load();

  ASSERT_EQ(fixture.boxes.shown().size(), 1u);
  EXPECT_TRUE(fixture.boxes.shown()[0].is_error);
  EXPECT_TRUE(fixture.clock.changes().empty());
}

}  // namespace
}  // namespace horalux
