// The built program, driven from outside as a user would drive it: on an X display (run under
// xvfb-run), with its system bus pointed at a stand-in for systemd-timedated, through the keyboard
// with xdotool. What is checked is what the system is asked for when the button is pressed.
#include <signal.h>
#include <sys/prctl.h>

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTest>
#include <QThread>

#include "testing/clock_guard.h"
#include "testing/time_server.h"
#include "testing/timedated_mock.h"
#include "ui/qt/tests/set_time_expectations.h"

using namespace std::chrono;
using horalux::testing::Describe;
using horalux::testing::ExpectDateThenTimeOfDay;
using horalux::testing::NowUsec;
using horalux::testing::PressInterval;
using horalux::testing::PrivateSystemBus;
using horalux::testing::SetTimeCall;
using horalux::testing::TimedatedMock;
using horalux::testing::TimeServer;

namespace {

// A loaded machine may take its time to start Qt under the sanitizers; a window that has not come
// in this long is not coming.
constexpr int kWindowTimeoutMs = 60'000;
constexpr int kCommandTimeoutMs = 30'000;

// A zone that keeps one offset all year, as the expectations need.
constexpr const char* kZone = "Asia/Shanghai";
constexpr hours kZoneOffset{8};

// Every child goes with this process, should it die before it can stop them.
void DieWithParent(QProcess& process) {
  process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

// A process that is stopped, and reaped, whatever way the test leaves.
class Child {
 public:
  Child() { DieWithParent(process_); }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() { Stop(); }

  QProcess& process() { return process_; }

  void Stop() {
    if (process_.state() == QProcess::NotRunning) return;
    process_.terminate();
    if (!process_.waitForFinished(5'000)) {
      process_.kill();
      process_.waitForFinished(5'000);
    }
  }

 private:
  QProcess process_;
};

// Calls a method of the stand-in on `bus` as another client of the bus would, and only there:
// the address is given, so no call can reach the machine's own system bus.
bool CallTimedated(const PrivateSystemBus& bus, const QString& method, const QStringList& arguments,
                   QString& failure) {
  Child call;
  call.process().start(
      "/usr/bin/dbus-send",
      QStringList{"--bus=" + QString::fromStdString(bus.address()), "--print-reply",
                  "--dest=org.freedesktop.timedate1", "/org/freedesktop/timedate1", method} +
          arguments);
  if (call.process().waitForFinished(kCommandTimeoutMs) &&
      call.process().exitStatus() == QProcess::NormalExit && call.process().exitCode() == 0) {
    return true;
  }
  failure = method + " failed: " + call.process().errorString() + " " +
            QString::fromLocal8Bit(call.process().readAllStandardError());
  return false;
}

// The program under test and xdotool, which drives it.
class Session {
 public:
  explicit Session(const PrivateSystemBus& bus)
      : output_path_(QString::fromStdString(bus.directory()) + "/horalux.log") {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", QString::fromStdString(bus.address()));
    environment.insert("TZ", kZone);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("LANG", "zh_CN.UTF-8");
    environment.insert("LC_ALL", "zh_CN.UTF-8");
    // The loopback server is to be asked directly, whatever proxy the machine names.
    for (const char* proxy :
         {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
      environment.remove(proxy);
    }
    program_.process().setProcessEnvironment(environment);
    // To a file, so that nothing the program writes can fill a pipe nobody reads while it runs.
    program_.process().setProcessChannelMode(QProcess::MergedChannels);
    program_.process().setStandardOutputFile(output_path_);
    program_.process().start(HORALUX_PROGRAM, {});
  }

  bool Started() {
    if (program_.process().waitForStarted(kCommandTimeoutMs)) return true;
    failure_ = "the program did not start: " + program_.process().errorString();
    return false;
  }

  // Runs xdotool to its end and returns what it printed, or nothing (see failure()) when it
  // failed, took too long or the program went away meanwhile.
  std::optional<QString> Xdotool(const QStringList& arguments, int timeout_ms = kCommandTimeoutMs) {
    Child xdotool;
    xdotool.process().start(XDOTOOL, arguments);
    const QDeadlineTimer deadline(timeout_ms);
    while (!xdotool.process().waitForFinished(100)) {
      if (xdotool.process().state() == QProcess::NotRunning) break;  // it never started
      if (program_.process().state() == QProcess::NotRunning) {
        failure_ = "the program ended while xdotool " + arguments.join(' ') + " ran";
        return std::nullopt;
      }
      if (deadline.hasExpired()) {
        failure_ = "xdotool " + arguments.join(' ') + " took longer than " +
                   QString::number(timeout_ms) + " ms";
        return std::nullopt;
      }
    }
    if (xdotool.process().exitStatus() != QProcess::NormalExit ||
        xdotool.process().exitCode() != 0) {
      failure_ = "xdotool " + arguments.join(' ') + " failed: " + xdotool.process().errorString() +
                 " " + QString::fromLocal8Bit(xdotool.process().readAllStandardError());
      return std::nullopt;
    }
    return QString::fromLocal8Bit(xdotool.process().readAllStandardOutput()).trimmed();
  }

  // Waits until a window with exactly this title is on the screen, and gives it the keyboard.
  std::optional<QString> FocusWindow(const QString& title) {
    const auto found = Xdotool({"search", "--sync", "--onlyvisible", "--name", "^" + title + "$"},
                               kWindowTimeoutMs);
    if (!found) return std::nullopt;
    // Several at once would be a box left over from an earlier step.
    const QStringList windows = found->split('\n', Qt::SkipEmptyParts);
    if (windows.size() != 1) {
      failure_ = QString("%1 windows called %2 are on the screen").arg(windows.size()).arg(title);
      return std::nullopt;
    }
    if (!Xdotool({"windowfocus", "--sync", windows[0]})) return std::nullopt;
    return windows[0];
  }

  // Waits until no window with this title is on the screen.
  bool WaitUntilGone(const QString& title) {
    const QDeadlineTimer deadline(kWindowTimeoutMs);
    while (true) {
      Child search;
      search.process().start(XDOTOOL, {"search", "--onlyvisible", "--name", "^" + title + "$"});
      if (!search.process().waitForFinished(kCommandTimeoutMs)) {
        failure_ = "xdotool search for " + title + " did not end";
        return false;
      }
      // xdotool reports finding nothing with exit status 1 and no message; a message means it
      // could not look at all.
      const QByteArray complaint = search.process().readAllStandardError();
      if (search.process().exitCode() == 1 && complaint.isEmpty()) return true;
      if (search.process().exitCode() != 0) {
        failure_ = "xdotool search for " + title + " failed: " + QString::fromLocal8Bit(complaint);
        return false;
      }
      if (deadline.hasExpired()) {
        failure_ = title + " is still on the screen";
        return false;
      }
      QThread::msleep(50);
    }
  }

  bool Keys(const QStringList& keys) { return Xdotool(QStringList{"key"} + keys).has_value(); }
  bool Type(const QString& text) { return Xdotool({"type", text}).has_value(); }

  // Gets past the start-up and types `url` into the address box, where the focus stays. The
  // start-up request goes to the default site, which cannot be reached from the sandbox: its error
  // report, or a time should the site answer after all, comes first and is dismissed.
  bool OpenAt(const std::string& url) {
    if (!Started() || !FocusWindow("Horalux") || !Keys({"Return"})) return false;
    // The button has the focus; Tab goes to the time box, then to the address box.
    return FocusWindow("设置时间") && Keys({"Tab", "Tab", "ctrl+a"}) &&
           Type(QString::fromStdString(url));
  }

  // Presses the button with Enter from the address box and waits for the box that ends the press.
  bool Press() { return FocusWindow("设置时间") && Keys({"Return"}) && FocusWindow("Horalux"); }

  // Dismisses that box.
  bool Dismiss() { return Keys({"Return"}) && WaitUntilGone("Horalux"); }

  // Why the last step failed, with what the program wrote.
  QByteArray failure() {
    QFile output(output_path_);
    output.open(QIODevice::ReadOnly);
    return (failure_ + "\n--- " + output_path_ + " ---\n").toLocal8Bit() + output.readAll();
  }

 private:
  QString output_path_;
  Child program_;
  QString failure_;
};

// The answer every press gets: 16:00:00 GMT is midnight of the next day in UTC+8.
constexpr std::string_view kDateHeader = "Tue, 01 Feb 2022 16:00:00 GMT";
constexpr year_month_day kExpectedDate{2022y / 2 / 2};
constexpr seconds kExpectedTimeOfDay{0};

}  // namespace

class ProgramOnTimedatedTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase();
  void pressedButtonAsksTimedatedForTheDateThenTheTimeOfDay();
  void refusalWhileAutomaticSyncIsOnLeavesTheWindowForTheNextPress();
};

void ProgramOnTimedatedTest::initTestCase() {
  // The program reads and sets the real clock: only the stand-in and the sandbox keep it safe.
  QVERIFY2(!horalux::testing::ProcessMaySetTheClock(), "run the tests through scripts/sandbox.sh");
  QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "run the test under xvfb-run");
}

void ProgramOnTimedatedTest::pressedButtonAsksTimedatedForTheDateThenTheTimeOfDay() {
  PrivateSystemBus bus;
  TimedatedMock timedated(bus);
  TimeServer server;
  server.ServeDate(kDateHeader);
  Session session(bus);
  QVERIFY2(session.OpenAt(server.Url()), session.failure());
  QVERIFY2(timedated.SetTimeCalls().empty(), "the clock was set before the button was pressed");

  PressInterval press{NowUsec(), {}, kZoneOffset};
  QVERIFY2(session.Press(), session.failure());
  press.after = NowUsec();

  QCOMPARE(server.requests(), 1);
  QCOMPARE(server.Requests()[0].method, std::string("POST"));
  ExpectDateThenTimeOfDay(timedated.SetTimeCalls(), press, kExpectedDate, kExpectedTimeOfDay);
  if (QTest::currentTestFailed()) return;

  // The success box goes, and the window takes the next press: the focus is back in the address
  // box, where Enter presses the button too.
  QVERIFY2(session.Dismiss(), session.failure());
  timedated.ClearCalls();
  press = {NowUsec(), {}, kZoneOffset};
  QVERIFY2(session.Press(), session.failure());
  press.after = NowUsec();
  QCOMPARE(server.requests(), 2);
  ExpectDateThenTimeOfDay(timedated.SetTimeCalls(), press, kExpectedDate, kExpectedTimeOfDay);
  if (QTest::currentTestFailed()) return;
  QVERIFY2(session.Dismiss(), session.failure());
}

void ProgramOnTimedatedTest::refusalWhileAutomaticSyncIsOnLeavesTheWindowForTheNextPress() {
  PrivateSystemBus bus;
  TimedatedMock timedated(bus);
  // Like systemd-timedated, the stand-in refuses SetTime while its NTP property is on, as it is
  // at first.
  QString failure;
  QVERIFY2(
      CallTimedated(bus, "org.freedesktop.DBus.Mock.AddMethod",
                    {"string:org.freedesktop.timedate1", "string:SetTime", "string:xbb", "string:",
                     "string:if self.Get('org.freedesktop.timedate1', 'NTP'): raise "
                     "dbus.exceptions.DBusException('Automatic time synchronization is "
                     "enabled', name='org.freedesktop.timedate1.AutomaticTimeSyncEnabled')"},
                    failure),
      qPrintable(failure));
  TimeServer server;
  server.ServeDate(kDateHeader);
  Session session(bus);
  QVERIFY2(session.OpenAt(server.Url()), session.failure());

  // The refused date is the one call: the time of day is not asked for after it.
  QVERIFY2(session.Press(), session.failure());
  const auto refused = timedated.SetTimeCalls();
  QVERIFY2(refused.size() == 1, Describe(refused).c_str());
  QVERIFY2(session.Dismiss(), session.failure());

  // The user turns automatic sync off, as the report says, and presses again.
  QVERIFY2(CallTimedated(bus, "org.freedesktop.timedate1.SetNTP",
                         {"boolean:false", "boolean:false"}, failure),
           qPrintable(failure));
  timedated.ClearCalls();
  PressInterval press{NowUsec(), {}, kZoneOffset};
  QVERIFY2(session.Press(), session.failure());
  press.after = NowUsec();
  QCOMPARE(server.requests(), 2);
  ExpectDateThenTimeOfDay(timedated.SetTimeCalls(), press, kExpectedDate, kExpectedTimeOfDay);
  if (QTest::currentTestFailed()) return;
  QVERIFY2(session.Dismiss(), session.failure());
}

QTEST_GUILESS_MAIN(ProgramOnTimedatedTest)
#include "program_on_timedated_test.moc"
