// The built program, driven from outside as a user would drive it: on an X display (run under
// xvfb-run), with its system bus pointed at a stand-in for systemd-timedated, through the keyboard
// with xdotool. What is checked is what the system is asked for when the button is pressed, and
// how the window behaves, as the X server sees it, while a press waits for a slow server.
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include <xcb/xcb.h>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QFile>
#include <QPoint>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRect>
#include <QTest>
#include <QThread>

#include "testing/clock_guard.h"
#include "testing/proxy_environment.h"
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

// The program under test and xdotool, which drives it.
class Session {
 public:
  explicit Session(const PrivateSystemBus& bus, const QStringList& arguments = {})
      : output_path_(QString::fromStdString(bus.directory()) + "/horalux.log") {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("DBUS_SYSTEM_BUS_ADDRESS", QString::fromStdString(bus.address()));
    environment.insert("TZ", kZone);
    environment.insert("QT_QPA_PLATFORM", "xcb");
    environment.insert("LANG", "zh_CN.UTF-8");
    environment.insert("LC_ALL", "zh_CN.UTF-8");
    // Qt offers its windows to screen readers only where it finds them running; the test looks
    // with one's eyes.
    environment.insert("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    // The loopback server is to be asked directly, whatever proxy the machine names.
    for (const char* proxy : horalux::testing::kProxyVariables) environment.remove(proxy);
    program_.process().setProcessEnvironment(environment);
    // To a file, so that nothing the program writes can fill a pipe nobody reads while it runs.
    program_.process().setProcessChannelMode(QProcess::MergedChannels);
    program_.process().setStandardOutputFile(output_path_);
    program_.process().start(HORALUX_PROGRAM, arguments);
  }

  bool Started() {
    if (program_.process().waitForStarted(kCommandTimeoutMs)) return true;
    failure_ = "the program did not start: " + program_.process().errorString();
    return false;
  }

  // Runs a helper to its end and returns what it printed, or nothing (see failure()) when it
  // failed, took too long or the program went away meanwhile.
  std::optional<QString> Helper(const QString& helper, const QStringList& arguments,
                                int timeout_ms = kCommandTimeoutMs) {
    Child child;
    child.process().start(helper, arguments);
    const QString named = helper + " " + arguments.join(' ');
    const QDeadlineTimer deadline(timeout_ms);
    while (!child.process().waitForFinished(100)) {
      if (child.process().state() == QProcess::NotRunning) break;  // it never started
      if (program_.process().state() == QProcess::NotRunning) {
        failure_ = "the program ended while " + named + " ran";
        return std::nullopt;
      }
      if (deadline.hasExpired()) {
        failure_ = named + " took longer than " + QString::number(timeout_ms) + " ms";
        return std::nullopt;
      }
    }
    if (child.process().exitStatus() != QProcess::NormalExit || child.process().exitCode() != 0) {
      failure_ = named + " failed: " + child.process().errorString() + " " +
                 QString::fromLocal8Bit(child.process().readAllStandardError());
      return std::nullopt;
    }
    return QString::fromUtf8(child.process().readAllStandardOutput()).trimmed();
  }
  std::optional<QString> Xdotool(const QStringList& arguments, int timeout_ms = kCommandTimeoutMs) {
    return Helper(XDOTOOL, arguments, timeout_ms);
  }
  // The windows on the screen as a screen reader finds them (accessible_windows.py).
  std::optional<QString> AccessibleWindows() {
    return Helper("/usr/bin/python3", {ACCESSIBLE_WINDOWS});
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
  // Clicks at each point of `window`, then leaves the pointer beside it.
  bool Clicks(const QString& window, const std::vector<QPoint>& points, QPoint beside) {
    QStringList arguments;
    for (const QPoint point : points) {
      arguments << "mousemove"
                << "--window" << window << QString::number(point.x()) << QString::number(point.y())
                << "click"
                << "1";
    }
    arguments << "mousemove"
              << "--window" << window << QString::number(beside.x()) << QString::number(beside.y());
    return Xdotool(arguments).has_value();
  }
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

  // Whether the program ends, without a crash, within `timeout_ms`.
  bool EndsWithin(int timeout_ms) {
    if (program_.process().waitForFinished(timeout_ms) &&
        program_.process().exitStatus() == QProcess::NormalExit &&
        program_.process().exitCode() == 0) {
      return true;
    }
    failure_ = QString("the program did not end normally within %1 ms").arg(timeout_ms);
    return false;
  }

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

struct FreeDeleter {
  void operator()(void* p) const { std::free(p); }
};
template <typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

// The X display as another client sees it: what the screen shows of a window, a window laid over
// it, and the messages the desktop sends a program's window.
class Display {
 public:
  Display() : connection_(xcb_connect(nullptr, nullptr)) {
    screen_ = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    // Where a program answers _NET_WM_PING (Qt sends the answer to the root window's
    // structure-notify listeners and its window manager).
    const uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, screen_->root, XCB_CW_EVENT_MASK, &mask);
    wm_protocols_ = Atom("WM_PROTOCOLS");
    wm_delete_window_ = Atom("WM_DELETE_WINDOW");
    net_wm_ping_ = Atom("_NET_WM_PING");
  }
  ~Display() { xcb_disconnect(connection_); }
  Display(const Display&) = delete;
  Display& operator=(const Display&) = delete;

  // The window's pixels as the screen shows them now.
  QByteArray Picture(xcb_window_t window) {
    const QRect place = Place(window);
    XcbReply<xcb_get_image_reply_t> image(
        xcb_get_image_reply(connection_,
                            xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, window, 0, 0,
                                          place.width(), place.height(), ~0u),
                            nullptr));
    if (!image) return {};
    return QByteArray(reinterpret_cast<const char*>(xcb_get_image_data(image.get())),
                      xcb_get_image_data_length(image.get()));
  }

  // The picture once the window has stopped changing.
  QByteArray SettledPicture(xcb_window_t window) {
    QByteArray picture = Picture(window);
    const QDeadlineTimer deadline(kWindowTimeoutMs);
    while (!deadline.hasExpired()) {
      QThread::msleep(300);
      QByteArray again = Picture(window);
      if (again == picture) break;
      picture = std::move(again);
    }
    return picture;
  }

  // Lays a window of one colour over `window` and takes it away: the X server keeps nothing of
  // what it covered, so the window shows its controls again only if its program draws them anew.
  void CoverAndUncover(xcb_window_t window) {
    const QRect place = Place(window);
    const xcb_window_t cover = xcb_generate_id(connection_);
    const uint32_t values[] = {0xff00ffu, 1u};  // background pixel, override-redirect
    xcb_create_window(connection_, XCB_COPY_FROM_PARENT, cover, screen_->root,
                      static_cast<int16_t>(place.x()), static_cast<int16_t>(place.y()),
                      static_cast<uint16_t>(place.width()), static_cast<uint16_t>(place.height()),
                      0, XCB_WINDOW_CLASS_INPUT_OUTPUT, screen_->root_visual,
                      XCB_CW_BACK_PIXEL | XCB_CW_OVERRIDE_REDIRECT, values);
    xcb_map_window(connection_, cover);
    Sync();
    xcb_destroy_window(connection_, cover);
    Sync();
  }

  // Sends _NET_WM_PING, as a desktop does to find out whether a program still responds, and
  // waits up to `timeout` for the program to send it back to the root window.
  bool AnswersPing(xcb_window_t window, milliseconds timeout) {
    const uint32_t stamp = ++pings_;
    SendProtocolMessage(window, net_wm_ping_, stamp);
    const QDeadlineTimer deadline(static_cast<qint64>(timeout.count()));
    pollfd x_server{xcb_get_file_descriptor(connection_), POLLIN, 0};
    while (true) {
      while (xcb_generic_event_t* raw = xcb_poll_for_event(connection_)) {
        const std::unique_ptr<xcb_generic_event_t, FreeDeleter> event(raw);
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE) continue;
        const auto* message = reinterpret_cast<const xcb_client_message_event_t*>(event.get());
        if (message->window == screen_->root && message->type == wm_protocols_ &&
            message->data.data32[0] == net_wm_ping_ && message->data.data32[1] == stamp) {
          return true;
        }
      }
      if (deadline.hasExpired() || xcb_connection_has_error(connection_)) return false;
      poll(&x_server, 1, static_cast<int>(deadline.remainingTime()));
    }
  }

  // Asks the window to close, as the desktop does when the user closes it.
  void Close(xcb_window_t window) {
    SendProtocolMessage(window, wm_delete_window_, XCB_CURRENT_TIME);
  }

  // Where the window is on the screen.
  QRect Place(xcb_window_t window) {
    XcbReply<xcb_get_geometry_reply_t> geometry(
        xcb_get_geometry_reply(connection_, xcb_get_geometry(connection_, window), nullptr));
    XcbReply<xcb_translate_coordinates_reply_t> origin(xcb_translate_coordinates_reply(
        connection_, xcb_translate_coordinates(connection_, window, screen_->root, 0, 0), nullptr));
    if (!geometry || !origin) return {};
    return QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
  }

 private:
  xcb_atom_t Atom(const char* name) {
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, std::strlen(name), name), nullptr));
    return reply ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
  }

  void SendProtocolMessage(xcb_window_t window, xcb_atom_t protocol, uint32_t stamp) {
    xcb_client_message_event_t message{};
    message.response_type = XCB_CLIENT_MESSAGE;
    message.format = 32;
    message.window = window;
    message.type = wm_protocols_;
    message.data.data32[0] = protocol;
    message.data.data32[1] = stamp;
    message.data.data32[2] = window;
    xcb_send_event(connection_, 0, window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&message));
    xcb_flush(connection_);
  }

  // Waits until the X server has carried out every request sent so far.
  void Sync() {
    XcbReply<xcb_get_input_focus_reply_t>(
        xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
  }

  xcb_connection_t* connection_;
  xcb_screen_t* screen_;
  xcb_atom_t wm_protocols_;
  xcb_atom_t wm_delete_window_;
  xcb_atom_t net_wm_ping_;
  uint32_t pings_ = 0;
};

// Watches, on a thread of its own, every window the program maps, and notes its title at once:
// a window shown only for a moment is noted too.
class MapWatcher {
 public:
  MapWatcher() : connection_(xcb_connect(nullptr, nullptr)) {
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data;
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection_, screen->root, XCB_CW_EVENT_MASK, &mask);
    const char name[] = "_NET_WM_NAME";
    XcbReply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, sizeof name - 1, name), nullptr));
    net_wm_name_ = atom ? atom->atom : xcb_atom_t{XCB_ATOM_NONE};
    xcb_flush(connection_);
    thread_ = std::thread([this] { Watch(); });
  }
  ~MapWatcher() {
    stop_ = true;
    thread_.join();
    xcb_disconnect(connection_);
  }

  QStringList Titles() {
    const std::lock_guard lock(mutex_);
    return titles_;
  }

 private:
  void Watch() {
    pollfd x_server{xcb_get_file_descriptor(connection_), POLLIN, 0};
    while (!stop_ && !xcb_connection_has_error(connection_)) {
      const std::unique_ptr<xcb_generic_event_t, FreeDeleter> event(
          xcb_poll_for_event(connection_));
      if (!event) {
        poll(&x_server, 1, 50);
        continue;
      }
      if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY) continue;
      const auto* map = reinterpret_cast<const xcb_map_notify_event_t*>(event.get());
      XcbReply<xcb_get_property_reply_t> title(
          xcb_get_property_reply(connection_,
                                 xcb_get_property(connection_, 0, map->window, net_wm_name_,
                                                  XCB_GET_PROPERTY_TYPE_ANY, 0, 256),
                                 nullptr));
      if (!title || xcb_get_property_value_length(title.get()) == 0) continue;
      const std::lock_guard lock(mutex_);
      titles_ << QString::fromUtf8(static_cast<const char*>(xcb_get_property_value(title.get())),
                                   xcb_get_property_value_length(title.get()));
    }
  }

  xcb_connection_t* connection_;
  xcb_atom_t net_wm_name_;
  std::atomic<bool> stop_ = false;
  std::mutex mutex_;
  QStringList titles_;
  std::thread thread_;
};

// The small window of a wait for the loopback server.
const QString kWaitingTitle = "正在从 127.0.0.1 获取时间……";

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
  void windowWaitingForASlowServerStaysDrawnAndAliveAndTakesNoInput_data();
  void windowWaitingForASlowServerStaysDrawnAndAliveAndTakesNoInput();
  void waitOverASecondNamesTheHostAndCancellingLeavesTheClock_data();
  void waitOverASecondNamesTheHostAndCancellingLeavesTheClock();
};

void ProgramOnTimedatedTest::initTestCase() {
  // The program reads and sets the real clock: only the stand-in and the sandbox keep it safe.
  QVERIFY2(!horalux::testing::ProcessMaySetTheClock(), "run the tests through scripts/sandbox.sh");
  QVERIFY2(qEnvironmentVariableIsSet("DISPLAY"), "run the test under xvfb-run");
  // The accessibility bus is started on the test's session bus, before any program looks for it.
  QProcess accessible;
  accessible.start("/usr/bin/python3", {ACCESSIBLE_WINDOWS});
  QVERIFY2(accessible.waitForFinished(kCommandTimeoutMs) && accessible.exitCode() == 0,
           qPrintable("run the test under dbus-run-session: " +
                      QString::fromLocal8Bit(accessible.readAllStandardError())));
}

void ProgramOnTimedatedTest::pressedButtonAsksTimedatedForTheDateThenTheTimeOfDay() {
  PrivateSystemBus bus;
  TimedatedMock timedated(bus);
  TimeServer server;
  // Within a second: the small window of a long wait never comes, not even for a moment.
  server.ServeDate(kDateHeader, 500ms);
  MapWatcher maps;
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
  QVERIFY2(!maps.Titles().contains(kWaitingTitle), qPrintable(maps.Titles().join(", ")));
}

void ProgramOnTimedatedTest::refusalWhileAutomaticSyncIsOnLeavesTheWindowForTheNextPress() {
  PrivateSystemBus bus;
  TimedatedMock timedated(bus);
  // Like systemd-timedated, the stand-in refuses SetTime while its NTP property is on, as it is
  // at first.
  timedated.RefuseSetTimeWhileNtpIsOn();
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
  timedated.SetNtp(false);
  timedated.ClearCalls();
  PressInterval press{NowUsec(), {}, kZoneOffset};
  QVERIFY2(session.Press(), session.failure());
  press.after = NowUsec();
  QCOMPARE(server.requests(), 2);
  ExpectDateThenTimeOfDay(timedated.SetTimeCalls(), press, kExpectedDate, kExpectedTimeOfDay);
  if (QTest::currentTestFailed()) return;
  QVERIFY2(session.Dismiss(), session.failure());
}

void ProgramOnTimedatedTest::windowWaitingForASlowServerStaysDrawnAndAliveAndTakesNoInput_data() {
  QTest::addColumn<bool>("closed");
  QTest::newRow("then the answer comes") << false;
  QTest::newRow("then the window is closed") << true;
}

void ProgramOnTimedatedTest::windowWaitingForASlowServerStaysDrawnAndAliveAndTakesNoInput() {
  QFETCH(bool, closed);
  PrivateSystemBus bus;
  TimedatedMock timedated(bus);
  TimeServer server;
  server.ServeDate(kDateHeader, 10s);
  Session session(bus);
  QVERIFY2(session.OpenAt(server.Url()), session.failure());
  // From the address box to the button, where no text cursor blinks in the pictures.
  const std::optional<QString> window_id = session.FocusWindow("设置时间");
  QVERIFY2(window_id && session.Keys({"Tab"}), session.failure());
  const xcb_window_t window = window_id->toUInt();
  Display display;
  const QPoint beside(display.Place(window).width() + 40, display.Place(window).height() + 40);
  // The pointer rests beside the window, where the clicks below leave it too.
  QVERIFY2(session.Clicks(*window_id, {}, beside), session.failure());
  const QByteArray drawn = display.SettledPicture(window);
  QVERIFY(!drawn.isEmpty());

  PressInterval press{NowUsec(), {}, kZoneOffset};
  const QDeadlineTimer three_seconds_in(3'000);
  QVERIFY2(session.Keys({"Return"}), session.failure());
  QTRY_COMPARE(server.requests(), 1);
  // Past a second the small window of the wait comes over the window; the user moves it aside
  // and goes back to the window.
  const std::optional<QString> wait_window = session.FocusWindow(kWaitingTitle);
  QVERIFY2(wait_window && session.Xdotool({"windowmove", *wait_window, "700", "500"}) &&
               session.FocusWindow("设置时间"),
           session.failure());

  // Uncovered while the request is out, the window is drawn again.
  display.CoverAndUncover(window);
  QTest::qWait(static_cast<int>(three_seconds_in.remainingTime()));
  QVERIFY2(display.Picture(window) == drawn, "the window is not drawn 3 s into the press");
  QVERIFY2(display.AnswersPing(window, 1s), "the window does not answer _NET_WM_PING within 1 s");

  // Keys and clicks change nothing on the screen, and start no second press (see below).
  QVERIFY2(session.Keys({"Tab", "x", "Return", "space"}), session.failure());
  // In the address box, in the time box, on the button.
  QVERIFY2(session.Clicks(*window_id, {{172, 24}, {176, 72}, {164, 112}}, beside),
           session.failure());
  // The answer to a ping comes after the program has taken in the input sent before it.
  QVERIFY(display.AnswersPing(window, 1s));
  QVERIFY2(display.SettledPicture(window) == drawn, "input during the press changed the window");
  QVERIFY2(server.requests() == 1, "input during the press made a second request");

  if (closed) {
    display.Close(window);
    QVERIFY2(session.EndsWithin(1'000), session.failure());
    QVERIFY2(timedated.SetTimeCalls().empty(), Describe(timedated.SetTimeCalls()).c_str());
  } else {
    QVERIFY2(session.FocusWindow("Horalux"), session.failure());
    press.after = NowUsec();
    ExpectDateThenTimeOfDay(timedated.SetTimeCalls(), press, kExpectedDate, kExpectedTimeOfDay);
    if (QTest::currentTestFailed()) return;
    QVERIFY2(session.Dismiss(), session.failure());
  }
  QCOMPARE(server.requests(), 1);
}

void ProgramOnTimedatedTest::waitOverASecondNamesTheHostAndCancellingLeavesTheClock_data() {
  QTest::addColumn<bool>("atStart");
  QTest::addColumn<QString>("cancel");  // a key, or "close" for the desktop's close
  QTest::newRow("at start, Esc") << true << "Escape";
  QTest::newRow("at start, closing it") << true << "close";
  QTest::newRow("on a press, 取消") << false << "space";
  QTest::newRow("on a press, Esc") << false << "Escape";
}

void ProgramOnTimedatedTest::waitOverASecondNamesTheHostAndCancellingLeavesTheClock() {
  QFETCH(bool, atStart);
  QFETCH(QString, cancel);
  PrivateSystemBus bus;
  TimedatedMock timedated(bus);
  TimeServer server;
  server.ServeDate(kDateHeader, 10s);
  const std::string url = server.Url() + "x";
  MapWatcher maps;
  Display display;
  // At start the URL comes from the command line, and the start-up request asks it.
  Session session(bus, atStart ? QStringList{QString::fromStdString(url)} : QStringList{});
  if (atStart) {
    QVERIFY2(session.Started(), session.failure());
  } else {
    QVERIFY2(session.OpenAt(url) && session.Keys({"Return"}), session.failure());
  }
  const std::optional<QString> wait_window = session.FocusWindow(kWaitingTitle);
  QVERIFY2(wait_window, session.failure());
  QCOMPARE(server.requests(), 1);
  // A screen reader finds it by the same name, with its progress bar and its button.
  const std::optional<QString> accessible = session.AccessibleWindows();
  QVERIFY2(accessible, session.failure());
  const QStringList lines = accessible->split('\n');
  for (const QString& line :
       QStringList{"dialog: " + kWaitingTitle, "  progress bar: ", "  push button: 取消"}) {
    QVERIFY2(lines.contains(line), qPrintable(*accessible));
  }
  QCOMPARE(server.Requests()[0].target, std::string("/x"));

  QElapsedTimer since_cancel;
  since_cancel.start();
  if (cancel == "close") {
    display.Close(wait_window->toUInt());
  } else {
    QVERIFY2(session.Keys({cancel}), session.failure());
  }
  QVERIFY2(session.WaitUntilGone(kWaitingTitle) && session.FocusWindow("设置时间"),
           session.failure());
  QVERIFY2(since_cancel.elapsed() < 1'000, qPrintable(QString::number(since_cancel.elapsed())));
  QVERIFY2(timedated.SetTimeCalls().empty(), Describe(timedated.SetTimeCalls()).c_str());
  // No box came, and none came at start either: the main window followed the wait window.
  QCOMPARE(maps.Titles(), (atStart ? QStringList{kWaitingTitle, "设置时间"}
                                   : QStringList{"Horalux", "设置时间", kWaitingTitle}));

  // The request left behind is still out; a new press works meanwhile, on the same URL.
  server.ServeDate(kDateHeader);
  PressInterval press{NowUsec(), {}, kZoneOffset};
  QVERIFY2(session.Keys({"Return"}) && session.FocusWindow("Horalux"), session.failure());
  press.after = NowUsec();
  QCOMPARE(server.requests(), 2);
  QCOMPARE(server.Requests()[1].target, std::string("/x"));
  ExpectDateThenTimeOfDay(timedated.SetTimeCalls(), press, kExpectedDate, kExpectedTimeOfDay);
  if (QTest::currentTestFailed()) return;
  QVERIFY2(session.Dismiss(), session.failure());
}

QTEST_GUILESS_MAIN(ProgramOnTimedatedTest)
#include "program_on_timedated_test.moc"
