// A press of the set-clock button from end to end, in this process: the window on the computer's
// own clock, which asks a stand-in for systemd-timedated on a private bus, and the real web time
// query against a loopback server. The stand-in records and never moves the clock, so each step's
// "current time" is the real one: the date set keeps the real time of day, the time set keeps the
// real date.
#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "runtime/base/error.h"
#include "runtime/clock/clock.h"
#include "runtime/datetime/ole_date.h"
#include "runtime/datetime/text_forms.h"
#include "testing/clock_guard.h"
#include "testing/recording_message_box.h"
#include "testing/scoped_environment.h"
#include "testing/time_server.h"
#include "testing/timedated_mock.h"
#include "ui/qt/form1.h"
#include "ui/qt/tests/set_time_expectations.h"
#include "webtime/web_time.h"

using namespace std::chrono;
using horalux::Form1;
using horalux::testing::Describe;
using horalux::testing::ExpectDateThenTimeOfDay;
using horalux::testing::NowUsec;
using horalux::testing::PressInterval;
using horalux::testing::PrivateSystemBus;
using horalux::testing::RecordingMessageBox;
using horalux::testing::ScopedEnvironment;
using horalux::testing::TimedatedMock;
using horalux::testing::TimeServer;

namespace {

const horalux::TextForms& Forms() {
  static const horalux::TextForms forms = horalux::TextFormsForLocale("C.UTF-8");
  return forms;
}

// A private bus with the stand-in on it, and this process pointed at it.
struct Timedated {
  PrivateSystemBus bus;
  ScopedEnvironment address{"DBUS_SYSTEM_BUS_ADDRESS", bus.address()};
  TimedatedMock mock{bus};
};

// The window on the computer's own clock, past its start-up (it is never shown), asking `server`.
struct Window {
  explicit Window(const TimeServer& server)
      : window(boxes, *clock, Forms(),
               [](std::string_view url) { return horalux::GetWebTime(url, Forms()); }) {
    Text2()->setText(QString::fromStdString(server.Url()));
  }

  QLineEdit* Text1() { return window.findChild<QLineEdit*>("Text1"); }
  QLineEdit* Text2() { return window.findChild<QLineEdit*>("Text2"); }
  QPushButton* Command1() { return window.findChild<QPushButton*>("Command1"); }

  RecordingMessageBox boxes;
  std::unique_ptr<horalux::Clock> clock = horalux::OpenSystemClock();
  Form1 window;
};

RecordingMessageBox::Shown Prompt(std::string text) { return {false, std::move(text)}; }

}  // namespace

class WindowOnTimedatedTest : public QObject {
  Q_OBJECT

 private slots:
  void init();

  void pressAsksForTheDateThenTheTimeOfDayAndReportsSuccess_data();
  void pressAsksForTheDateThenTheTimeOfDayAndReportsSuccess();
  void automaticSyncRefusalIsReportedWithItsRemedyAndNothingMoreIsAsked();
};

void WindowOnTimedatedTest::init() {
  // The clock is the real one: outside the sandbox a missing stand-in would let it be set.
  QVERIFY2(!horalux::testing::ProcessMaySetTheClock(), "run the tests through scripts/sandbox.sh");
}

void WindowOnTimedatedTest::pressAsksForTheDateThenTheTimeOfDayAndReportsSuccess_data() {
  QTest::addColumn<QString>("zone");
  QTest::addColumn<int>("offsetHours");
  QTest::addColumn<QString>("dateHeader");
  QTest::addColumn<QDate>("date");     // the local date the clock is set to
  QTest::addColumn<int>("timeOfDay");  // and the local time of day, in seconds
  const struct {
    const char* zone;
    int offset;
  } zones[] = {{"UTC", 0}, {"Asia/Shanghai", 8}};
  for (const auto& zone : zones) {
    QTest::addRow("%s, 16:00:00 GMT is midnight of the next day", zone.zone)
        << zone.zone << zone.offset << "Tue, 01 Feb 2022 16:00:00 GMT" << QDate(2022, 2, 2) << 0;
    QTest::addRow("%s, the HTTP standard's example", zone.zone)
        << zone.zone << zone.offset << "Sun, 06 Nov 1994 08:49:37 GMT" << QDate(1994, 11, 6)
        << (16 * 3600 + 49 * 60 + 37);
  }
}

void WindowOnTimedatedTest::pressAsksForTheDateThenTheTimeOfDayAndReportsSuccess() {
  QFETCH(QString, zone);
  QFETCH(int, offsetHours);
  QFETCH(QString, dateHeader);
  QFETCH(QDate, date);
  QFETCH(int, timeOfDay);
  const hours offset{offsetHours};
  const year_month_day local_date{year{date.year()}, month{static_cast<unsigned>(date.month())},
                                  day{static_cast<unsigned>(date.day())}};
  const seconds time_of_day{timeOfDay};
  ScopedEnvironment time_zone("TZ", zone.toStdString());
  Timedated timedated;
  TimeServer server;
  server.ServeDate(dateHeader.toStdString());
  Window fixture(server);

  PressInterval press{NowUsec(), {}, offset};
  fixture.Command1()->click();
  press.after = NowUsec();

  QCOMPARE(fixture.boxes.shown(), std::vector{Prompt("设置时间成功！")});
  QCOMPARE(fixture.Text1()->text(),
           QString::fromStdString(horalux::FormatDateTime(
               horalux::OleDate::FromLocalSeconds(local_days{local_date} + time_of_day), Forms())));
  ExpectDateThenTimeOfDay(timedated.mock.SetTimeCalls(), press, local_date, time_of_day);
}

void WindowOnTimedatedTest::automaticSyncRefusalIsReportedWithItsRemedyAndNothingMoreIsAsked() {
  ScopedEnvironment time_zone("TZ", "Asia/Shanghai");
  std::optional<Timedated> timedated(std::in_place);
  timedated->mock.FailSetTime("org.freedesktop.timedate1.AutomaticTimeSyncEnabled",
                              "Automatic time synchronization is enabled");
  TimeServer server;
  server.ServeDate("Tue, 01 Feb 2022 16:00:00 GMT");
  Window fixture(server);

  fixture.Command1()->click();

  QCOMPARE(fixture.boxes.shown().size(), std::size_t{1});
  const auto& report = fixture.boxes.shown()[0];
  QVERIFY(report.is_error);
  QVERIFY2(report.text.starts_with(
               std::string(horalux::ErrorKindName(horalux::ErrorKind::kClockRefused))),
           report.text.c_str());
  QVERIFY2(report.text.find("自动时间同步") != std::string::npos, report.text.c_str());
  QVERIFY2(report.text.find("timedatectl set-ntp false") != std::string::npos, report.text.c_str());
  // The refused date was the one call: the time of day was not asked for after it.
  const auto refused = timedated->mock.SetTimeCalls();
  QVERIFY2(refused.size() == 1, Describe(refused).c_str());
  QVERIFY(!fixture.Text1()->text().isEmpty());

  // With automatic sync off (a service that accepts), the same window sets the clock.
  timedated.reset();
  timedated.emplace();
  QVERIFY(fixture.Command1()->isEnabled());
  fixture.Command1()->click();
  QCOMPARE(fixture.boxes.shown().back(), Prompt("设置时间成功！"));
  QCOMPARE(server.requests(), 2);
  const auto accepted = timedated->mock.SetTimeCalls();
  QVERIFY2(accepted.size() == 2, Describe(accepted).c_str());
}

QTEST_MAIN(WindowOnTimedatedTest)
#include "window_on_timedated_test.moc"
