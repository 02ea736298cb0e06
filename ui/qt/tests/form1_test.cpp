// The window driven as a user would: its controls, the start-up message, and presses of the
// set-clock button against a loopback server, an in-memory clock and recorded message boxes.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>

#include "runtime/datetime/ole_date.h"
#include "runtime/datetime/text_forms.h"
#include "testing/fake_clock.h"
#include "testing/recording_message_box.h"
#include "testing/time_server.h"
#include "ui/layout/form1_layout.h"
#include "ui/qt/form1.h"
#include "webtime/web_time.h"

using namespace std::chrono;
using horalux::Error;
using horalux::ErrorKind;
using horalux::Form1;
using horalux::testing::FakeClock;
using horalux::testing::RecordingMessageBox;
using horalux::testing::TimeServer;

namespace {

const horalux::TextForms& Forms() {
  static const horalux::TextForms forms = horalux::TextFormsForLocale("C.UTF-8");
  return forms;
}

horalux::WebTimeQuery RealQuery() {
  return [](std::string_view url) { return horalux::GetWebTime(url, Forms()); };
}

// The time text the window should show for a local moment.
std::string TimeText(local_seconds moment) {
  return horalux::FormatDateTime(horalux::OleDate::FromLocalSeconds(moment), Forms());
}

// A window with recorded boxes and an in-memory clock, already past its start-up.
struct Fixture {
  explicit Fixture(horalux::WebTimeQuery query = RealQuery())
      : window(boxes, clock, Forms(), std::move(query)) {}

  QLineEdit* Text1() { return window.findChild<QLineEdit*>("Text1"); }
  QLineEdit* Text2() { return window.findChild<QLineEdit*>("Text2"); }
  QPushButton* Command1() { return window.findChild<QPushButton*>("Command1"); }
  // Unless a test shows the window, its start-up does not run; the button is pressed all the same.
  void Press() { Command1()->click(); }

  RecordingMessageBox boxes;
  FakeClock clock;
  Form1 window;
};

RecordingMessageBox::Shown Prompt(std::string text) { return {false, std::move(text)}; }

// A query that answers at once, or, for the call after HoldNext, only once Release is called: a
// request the test keeps out while it acts on the window. It owns what it shares with the test,
// so that a request left running after its window has gone touches nothing that has gone.
class HeldQuery {
 public:
  explicit HeldQuery(std::string answer) : state_(std::make_shared<State>()) {
    state_->answer = std::move(answer);
  }

  horalux::WebTimeQuery Query() const {
    return [state = state_](std::string_view) {
      std::unique_lock lock(state->mutex);
      ++state->calls;
      const bool held = std::exchange(state->hold_next, false);
      if (held) {
        state->holding = true;
        state->changed.notify_all();
        state->changed.wait(lock, [&] { return state->release; });
        state->holding = false;
      }
      ++state->returned;
      return state->answer;
    };
  }
  void HoldNext() {
    const std::lock_guard lock(state_->mutex);
    state_->hold_next = true;
    state_->release = false;
  }
  // Until the held call has come in.
  void WaitUntilHeld() {
    std::unique_lock lock(state_->mutex);
    state_->changed.wait(lock, [&] { return state_->holding; });
  }
  void Release() {
    const std::lock_guard lock(state_->mutex);
    state_->release = true;
    state_->changed.notify_all();
  }
  int calls() const {
    const std::lock_guard lock(state_->mutex);
    return state_->calls;
  }
  int returned() const {
    const std::lock_guard lock(state_->mutex);
    return state_->returned;
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable changed;
    bool hold_next = false;
    bool holding = false;
    bool release = false;
    int calls = 0;
    int returned = 0;
    std::string answer;
  };
  std::shared_ptr<State> state_;
};

// What a user may do to the window while a press waits.
using WindowAction = void (*)(Fixture&);

}  // namespace

Q_DECLARE_METATYPE(WindowAction)

class Form1Test : public QObject {
  Q_OBJECT

 private slots:
  void controlsHaveTheirNamesTextsAndPlaces_data();
  void controlsHaveTheirNamesTextsAndPlaces();
  void windowHoldsEveryControlAtAFixedSize();
  void labelsShowTheirWholeTextWithoutCoveringAnything();
  void labelsNameTheirBoxes();
  void buttonHasTheFirstFocusAndTabGoesToTheTimeBoxThenTheUrlBox();
  void enterAnywhereAndSpaceOnTheButtonPressIt_data();
  void enterAnywhereAndSpaceOnTheButtonPressIt();

  void startUpShowsTheWebTimeBeforeTheWindowAndLeavesTheTimeBoxEmpty();
  void startUpErrorIsReportedAndTheWindowStillAppears();

  void editedUrlIsUsedByTheNextPress();
  void twoPressesMakeTwoRequestsAndSetTheClockTwice();
  void busyCursorShowsWhileTheRequestIsOut();
  void inputWhileTheRequestIsOutChangesNothing_data();
  void inputWhileTheRequestIsOutChangesNothing();
  void closingWhileTheRequestIsOutStopsThePressAndLeavesTheClock();
  void waitWindowNamesTheHostToScreenReadersAndCancelLeavesEverything();
};

void Form1Test::controlsHaveTheirNamesTextsAndPlaces_data() {
  QTest::addColumn<QString>("className");
  QTest::addColumn<int>("index");  // in form1_layout::kControls
  const char* const class_names[] = {"QLabel", "QLineEdit", "QPushButton"};
  for (std::size_t i = 0; i < horalux::form1_layout::kControls.size(); ++i) {
    const auto& control = horalux::form1_layout::kControls[i];
    QTest::newRow(std::string(control.name).c_str())
        << class_names[static_cast<int>(control.kind)] << static_cast<int>(i);
  }
}

void Form1Test::controlsHaveTheirNamesTextsAndPlaces() {
  QFETCH(QString, className);
  QFETCH(int, index);
  const auto& description = horalux::form1_layout::kControls[static_cast<std::size_t>(index)];
  // Qt's pixels are 96 to the inch; the label's height is the least it may have.
  const auto place = horalux::form1_layout::ToPixels(description.twips, 96);
  Fixture fixture;
  QCOMPARE(fixture.window.windowTitle(), QString("设置时间"));

  auto* control = fixture.window.findChild<QWidget*>(QString::fromUtf8(description.name));
  QVERIFY(control != nullptr);
  QCOMPARE(control->metaObject()->className(), className);
  QCOMPARE(control->property("text").toString(), QString::fromUtf8(description.text));
  QCOMPARE(control->x(), place.left);
  QCOMPARE(control->y(), place.top);
  QCOMPARE(control->width(), place.width);
  if (className == "QLabel") {
    QVERIFY(control->height() >= place.height);
  } else {
    QCOMPARE(control->height(), place.height);
  }
}

void Form1Test::windowHoldsEveryControlAtAFixedSize() {
  Fixture fixture;
  const QRect client = fixture.window.rect();
  QCOMPARE(fixture.window.minimumSize(), fixture.window.maximumSize());
  for (QWidget* control : fixture.window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    QVERIFY2(client.adjusted(0, 0, -8, -8).contains(control->geometry()),
             qPrintable(control->objectName() + " is not inside the margin"));
  }
}

void Form1Test::labelsShowTheirWholeTextWithoutCoveringAnything() {
  // The labels are fitted to their texts when the window first appears.
  Fixture fixture([](std::string_view) { return std::string("2026-01-02 03:04:05"); });
  fixture.window.show();
  QVERIFY(QTest::qWaitForWindowExposed(&fixture.window));
  const auto controls = fixture.window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
  for (const char* name : {"Label1", "Label2"}) {
    auto* label = fixture.window.findChild<QLabel*>(name);
    QVERIFY(label->wordWrap());
    QVERIFY2(label->heightForWidth(label->width()) <= label->height(),
             qPrintable(QString("%1 needs %2 px, has %3")
                            .arg(name)
                            .arg(label->heightForWidth(label->width()))
                            .arg(label->height())));
    for (const QWidget* other : controls) {
      if (other != label) {
        QVERIFY2(!other->geometry().intersects(label->geometry()),
                 qPrintable(QString(name) + " covers " + other->objectName()));
      }
    }
  }
}

void Form1Test::labelsNameTheirBoxes() {
  Fixture fixture;
  QCOMPARE(fixture.window.findChild<QLabel*>("Label1")->buddy(), fixture.Text2());
  QCOMPARE(fixture.window.findChild<QLabel*>("Label2")->buddy(), fixture.Text1());
  QCOMPARE(fixture.Text2()->accessibleName(), QString("获取时间的网站"));
  QCOMPARE(fixture.Text1()->accessibleName(), QString("获取的时间"));
}

void Form1Test::buttonHasTheFirstFocusAndTabGoesToTheTimeBoxThenTheUrlBox() {
  Fixture fixture;
  fixture.window.show();
  QVERIFY(QTest::qWaitForWindowActive(&fixture.window));
  QCOMPARE(QApplication::focusWidget(), fixture.Command1());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), fixture.Text1());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), fixture.Text2());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  QCOMPARE(QApplication::focusWidget(), fixture.Command1());
  for (const char* label : {"Label1", "Label2"}) {
    QCOMPARE(fixture.window.findChild<QLabel*>(label)->focusPolicy(), Qt::NoFocus);
  }
}

void Form1Test::enterAnywhereAndSpaceOnTheButtonPressIt_data() {
  QTest::addColumn<QString>("focused");
  QTest::addColumn<int>("key");
  QTest::newRow("Enter on the button") << "Command1" << int(Qt::Key_Return);
  QTest::newRow("Space on the button") << "Command1" << int(Qt::Key_Space);
  QTest::newRow("Enter in the time box") << "Text1" << int(Qt::Key_Return);
  QTest::newRow("keypad Enter in the URL box") << "Text2" << int(Qt::Key_Enter);
}

void Form1Test::enterAnywhereAndSpaceOnTheButtonPressIt() {
  QFETCH(QString, focused);
  QFETCH(int, key);
  int queries = 0;
  Fixture fixture([&](std::string_view) {
    ++queries;
    return TimeText(local_days{2024y / 3 / 1} + 12h);
  });
  fixture.window.show();
  QVERIFY(QTest::qWaitForWindowActive(&fixture.window));
  auto* target = fixture.window.findChild<QWidget*>(focused);
  target->setFocus();
  QSignalSpy pressed(fixture.Command1(), &QPushButton::clicked);
  QTest::keyClick(target, Qt::Key(key));
  QCOMPARE(pressed.count(), 1);
  QCOMPARE(queries, 2);  // start-up, then the press
}

void Form1Test::startUpShowsTheWebTimeBeforeTheWindowAndLeavesTheTimeBoxEmpty() {
  // Notes whether the window was already on screen when the box came up.
  struct WatchingBox : RecordingMessageBox {
    void Show(std::string_view prompt) override {
      window_was_visible.push_back(window->isVisible());
      RecordingMessageBox::Show(prompt);
    }
    QWidget* window = nullptr;
    std::vector<bool> window_was_visible;
  } boxes;
  TimeServer server;
  server.ServeDate("Sun, 06 Nov 1994 08:49:37 GMT");
  FakeClock clock;
  Form1 window(boxes, clock, Forms(), RealQuery());
  window.findChild<QLineEdit*>("Text2")->setText(QString::fromStdString(server.Url()));
  boxes.window = &window;

  window.show();

  QCOMPARE(boxes.shown(),
           (std::vector{Prompt(TimeText(local_days{1994y / 11 / 6} + 16h + 49min + 37s))}));
  QCOMPARE(boxes.window_was_visible, std::vector{false});
  QVERIFY(window.isVisible());
  QVERIFY(window.findChild<QLineEdit*>("Text1")->text().isEmpty());
  QVERIFY(clock.changes().empty());
  // Showing again after hiding does not repeat the start-up.
  window.hide();
  window.show();
  QCOMPARE(server.requests(), 1);
}

void Form1Test::startUpErrorIsReportedAndTheWindowStillAppears() {
  TimeServer server;
  server.ServeRaw("HTTP/1.1 200 OK\r\nContent-Length: 0\r\n\r\n");
  RecordingMessageBox boxes;
  FakeClock clock;
  Form1 window(boxes, clock, Forms(), RealQuery());
  window.findChild<QLineEdit*>("Text2")->setText(QString::fromStdString(server.Url()));

  window.show();

  QCOMPARE(boxes.shown().size(), std::size_t{1});
  QVERIFY(boxes.shown()[0].is_error);
  QVERIFY(window.isVisible());
  QVERIFY(window.findChild<QPushButton*>("Command1")->isEnabled());
}

void Form1Test::editedUrlIsUsedByTheNextPress() {
  TimeServer first;
  TimeServer second;
  first.ServeDate("Sun, 06 Nov 1994 08:49:37 GMT");
  second.ServeDate("Thu, 01 Jan 2015 00:00:00 GMT");
  Fixture fixture;
  fixture.Text2()->setText(QString::fromStdString(first.Url()));
  fixture.Press();

  fixture.Text2()->selectAll();
  QTest::keyClicks(fixture.Text2(), QString::fromStdString(second.Url()));
  fixture.Press();

  QCOMPARE(first.requests(), 1);
  QCOMPARE(second.requests(), 1);
  QVERIFY(fixture.clock.changes().back() == FakeClock::Change{8h});
}

void Form1Test::twoPressesMakeTwoRequestsAndSetTheClockTwice() {
  TimeServer server;
  Fixture fixture;
  fixture.Text2()->setText(QString::fromStdString(server.Url()));
  server.ServeDate("Sun, 06 Nov 1994 08:49:37 GMT");
  fixture.Press();
  server.ServeDate("Sun, 06 Nov 1994 08:49:38 GMT");
  fixture.Press();

  QCOMPARE(server.requests(), 2);
  for (const auto& request : server.Requests()) {
    QCOMPARE(request.method, std::string("POST"));
    QCOMPARE(request.body, std::string());
  }
  const year_month_day day = 1994y / 11 / 6;
  QVERIFY(fixture.clock.changes() ==
          (std::vector<FakeClock::Change>{day, 16h + 49min + 37s, day, 16h + 49min + 38s}));
  QCOMPARE(fixture.boxes.shown(),
           (std::vector{Prompt("设置时间成功！"), Prompt("设置时间成功！")}));
}

void Form1Test::busyCursorShowsWhileTheRequestIsOut() {
  // At start-up, before the window appears, and on a press, the request is made on a thread of its
  // own while the window's thread goes on. What it raises there is reported on the window's
  // thread.
  struct Request {
    bool busy;
    bool on_window_thread;
    bool operator==(const Request&) const = default;
  };
  std::vector<Request> requests;
  Fixture fixture([&](std::string_view) -> std::string {
    // The call's job starts before the window's wait for it: give the window a moment to turn busy.
    const auto busy = [] {
      const QCursor* cursor = QApplication::overrideCursor();
      return cursor != nullptr && cursor->shape() == Qt::WaitCursor;
    };
    for (int i = 0; i < 200 && !busy(); ++i) QThread::msleep(5);
    requests.push_back({busy(), QThread::currentThread() == QApplication::instance()->thread()});
    throw Error(ErrorKind::kTimeout, "测试服务器没有回答");
  });

  fixture.window.show();
  fixture.Press();

  QVERIFY(requests == (std::vector<Request>{{true, false}, {true, false}}));
  QCOMPARE(fixture.boxes.shown().size(), std::size_t{2});
  for (const auto& box : fixture.boxes.shown()) QVERIFY(box.is_error);
  QCOMPARE(QApplication::overrideCursor(), nullptr);
}

void Form1Test::inputWhileTheRequestIsOutChangesNothing_data() {
  QTest::addColumn<WindowAction>("action");
  QTest::newRow("typing in the URL box")
      << WindowAction([](Fixture& f) { QTest::keyClicks(f.Text2(), "x"); });
  QTest::newRow("typing in the time box")
      << WindowAction([](Fixture& f) { QTest::keyClicks(f.Text1(), "2030-01-01"); });
  QTest::newRow("Enter in the URL box")
      << WindowAction([](Fixture& f) { QTest::keyClick(f.Text2(), Qt::Key_Return); });
  QTest::newRow("Space on the button")
      << WindowAction([](Fixture& f) { QTest::keyClick(f.Command1(), Qt::Key_Space); });
  QTest::newRow("a click on the button")
      << WindowAction([](Fixture& f) { QTest::mouseClick(f.Command1(), Qt::LeftButton); });
  QTest::newRow("a press without events, as a screen reader makes")
      << WindowAction([](Fixture& f) { f.Command1()->click(); });
}

void Form1Test::inputWhileTheRequestIsOutChangesNothing() {
  QFETCH(WindowAction, action);
  const std::string time = TimeText(local_days{2024y / 3 / 1} + 12h);
  HeldQuery query(time);
  Fixture fixture(query.Query());
  fixture.window.show();
  const QString url = fixture.Text2()->text();
  query.HoldNext();

  struct Seen {
    QString text1, text2;
    int requests;
    bool enabled;
  } seen{};
  QTimer::singleShot(0, &fixture.window, [&] {
    query.WaitUntilHeld();
    action(fixture);
    seen = {fixture.Text1()->text(), fixture.Text2()->text(), query.calls(),
            fixture.Text2()->isEnabled() && fixture.Command1()->isEnabled()};
    query.Release();
  });
  fixture.Press();

  // While the request was out: nothing typed arrived, no second press began, nothing greyed out.
  QCOMPARE(seen.text1, QString());
  QCOMPARE(seen.text2, url);
  QCOMPARE(seen.requests, 2);  // start-up, then the press
  QVERIFY(seen.enabled);
  // Then the press ended as it always does.
  QCOMPARE(query.calls(), 2);
  QCOMPARE(fixture.Text1()->text().toStdString(), time);
  QCOMPARE(fixture.boxes.shown(), (std::vector{Prompt(time), Prompt("设置时间成功！")}));
  QCOMPARE(fixture.clock.changes().size(), std::size_t{2});
}

void Form1Test::closingWhileTheRequestIsOutStopsThePressAndLeavesTheClock() {
  const std::string time = TimeText(local_days{2024y / 3 / 1} + 12h);
  HeldQuery query(time);
  {
    Fixture fixture(query.Query());
    fixture.window.show();
    query.HoldNext();
    // Closed once the request is out, after the clock's authorization, which uses the clock.
    QTimer::singleShot(0, &fixture.window, [&] {
      query.WaitUntilHeld();
      fixture.window.close();
    });
    fixture.Press();

    QVERIFY(!fixture.window.isVisible());
    QVERIFY(fixture.window.LeftARequestRunning());
    QVERIFY(fixture.Text1()->text().isEmpty());
    QCOMPARE(fixture.boxes.shown(), std::vector{Prompt(time)});  // the start-up's only
    QVERIFY(fixture.clock.changes().empty());
  }
  // The request left running ends after its window has gone, touching nothing of it.
  query.Release();
  QTRY_COMPARE(query.returned(), 2);
}

void Form1Test::waitWindowNamesTheHostToScreenReadersAndCancelLeavesEverything() {
  const std::string time = TimeText(local_days{2024y / 3 / 1} + 12h);
  HeldQuery query(time);
  {
    Fixture fixture(query.Query());
    fixture.Text2()->setText("http://intranet.example:8080/time");
    fixture.window.show();
    query.HoldNext();
    QStringList said;  // by the accessible name and description
    QTimer::singleShot(0, &fixture.window, [&] {
      QProgressDialog* wait_window = nullptr;
      QTRY_VERIFY((wait_window = fixture.window.findChild<QProgressDialog*>()) != nullptr &&
                  wait_window->isVisible());
      QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(wait_window);
      said = {accessible->text(QAccessible::Name), accessible->text(QAccessible::Description)};
      QTest::mouseClick(wait_window->findChild<QPushButton*>(), Qt::LeftButton);
    });
    fixture.Press();

    QCOMPARE(said, QStringList(2, "正在从 intranet.example 获取时间……"));
    QVERIFY(fixture.Text1()->text().isEmpty());
    QCOMPARE(fixture.boxes.shown(), std::vector{Prompt(time)});  // the start-up's only
    QVERIFY(fixture.clock.changes().empty());
    QCOMPARE(QApplication::overrideCursor(), nullptr);
  }
  query.Release();
  QTRY_COMPARE(query.returned(), 2);
}

QTEST_MAIN(Form1Test)
#include "form1_test.moc"
