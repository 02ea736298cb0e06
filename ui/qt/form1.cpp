#include "ui/qt/form1.h"

#include <algorithm>
#include <chrono>
#include <exception>
#include <memory>
#include <string>
#include <utility>

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include "handlers/started_query.h"
#include "handlers/texts.h"
#include "handlers/wait_rules.h"
#include "ui/layout/form1_layout.h"
#include "ui/qt/qt_text.h"
#include "ui/qt/wait_window.h"

namespace horalux {
namespace {

// Qt scales device-independent pixels, 96 to the inch, to the screen.
constexpr int kPixelsPerInch = 96;

// The press waits for its request and takes no input meanwhile; the cursor tells the user why,
// until the small window that shows a long wait tells it instead and takes a click on 取消.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { Lift(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;

  void Lift() {
    if (lifted_) return;
    lifted_ = true;
    QApplication::restoreOverrideCursor();
  }

 private:
  bool lifted_ = false;
};

// What a user does to a window: ignored while a press waits.
bool IsInput(QEvent::Type type) {
  switch (type) {
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
      return true;
    default:
      return false;
  }
}

// For the length of a wait: the window's input passes through `filter` first, and the window
// knows the loop of the wait.
class WaitScope {
 public:
  WaitScope(QObject& filter, QEventLoop*& current, QEventLoop& loop)
      : filter_(filter), current_(current) {
    current_ = &loop;
    QCoreApplication::instance()->installEventFilter(&filter_);
  }
  ~WaitScope() {
    QCoreApplication::instance()->removeEventFilter(&filter_);
    current_ = nullptr;
  }
  WaitScope(const WaitScope&) = delete;
  WaitScope& operator=(const WaitScope&) = delete;

 private:
  QObject& filter_;
  QEventLoop*& current_;
};

}  // namespace

Form1::Form1(MessageBoxService& message_box, Clock& clock, TextForms forms, WebTimeQuery query,
             QWidget* parent)
    : QWidget(parent), handlers_(*this, message_box, clock, std::move(forms), std::move(query)) {
  setObjectName("Form1");
  setWindowTitle(ToQString(texts::kWindowCaption));
  setFixedSize(form1_layout::ToPixels(form1_layout::kClientWidthTwips, kPixelsPerInch),
               form1_layout::ToPixels(form1_layout::kClientHeightTwips, kPixelsPerInch));
  CreateControls();
}

void Form1::CreateControls() {
  Label1 = new QLabel(this);
  Text2 = new QLineEdit(this);
  Label2 = new QLabel(this);
  Text1 = new QLineEdit(this);
  Command1 = new QPushButton(this);
  const auto controls = ControlsInTableOrder();
  for (std::size_t i = 0; i < controls.size(); ++i) {
    const form1_layout::Control& description = form1_layout::kControls[i];
    controls[i]->setObjectName(ToQString(description.name));
    controls[i]->setProperty("text", ToQString(description.text));
    const form1_layout::Rect place = form1_layout::ToPixels(description.twips, kPixelsPerInch);
    controls[i]->setGeometry(place.left, place.top, place.width, place.height);
  }

  // Enter presses the button wherever the focus is (see keyPressEvent), Space when it has it.
  Command1->setDefault(true);
  Command1->setAutoDefault(true);
  // A press never starts while another waits, whatever clicks the button (a screen reader, say).
  connect(Command1, &QPushButton::clicked, this, [this] {
    if (waiting_loop_ == nullptr) handlers_.Command1_Click();
  });

  for (QLabel* label : {Label1, Label2}) {
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }
  // Screen readers announce each box by the label beside it.
  Label1->setBuddy(Text2);
  Label2->setBuddy(Text1);
  Text2->setAccessibleName(ToQString(texts::kText2AccessibleName));
  Text1->setAccessibleName(ToQString(texts::kText1AccessibleName));

  QWidget* previous = nullptr;
  for (const std::size_t index : form1_layout::CreationOrder()) {
    if (!form1_layout::kControls[index].tab_index) continue;
    if (previous != nullptr) setTabOrder(previous, controls[index]);
    previous = controls[index];
  }
  Command1->setFocus(Qt::OtherFocusReason);
}

std::array<QWidget*, form1_layout::kControls.size()> Form1::ControlsInTableOrder() const {
  return {Label1, Text2, Label2, Text1, Command1};
}

void Form1::FitLabelsToText() {
  const auto controls = ControlsInTableOrder();
  const auto places = form1_layout::Places(
      kPixelsPerInch,
      [&controls](std::size_t index, int width) { return controls[index]->heightForWidth(width); });
  for (std::size_t i = 0; i < controls.size(); ++i) {
    controls[i]->setGeometry(places[i].left, places[i].top, places[i].width, places[i].height);
  }
}

void Form1::StartFrom(StartedQuery& started) {
  started_ = &started;
  Text2->setText(ToQString(started.url()));
}

void Form1::setVisible(bool visible) {
  if (visible && !loaded_) {
    loaded_ = true;
    handlers_.Form_Load(started_);
    // Laying the labels out loads the glyphs of their texts; left until the window is about to
    // appear, that work no longer delays the start-up message, which needs none of it.
    FitLabelsToText();
  }
  QWidget::setVisible(visible);
}

void Form1::keyPressEvent(QKeyEvent* event) {
  // A line edit passes Enter on to its window; here it presses the set-clock button.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    if (Command1->isEnabled()) Command1->click();
    return;
  }
  QWidget::keyPressEvent(event);
}

std::string Form1::ReadText2() const { return Text2->text().toStdString(); }

std::string Form1::ReadText1() const { return Text1->text().toStdString(); }

void Form1::WriteText1(std::string_view text) { Text1->setText(ToQString(text)); }

void Form1::closeEvent(QCloseEvent* event) {
  // Closing is the one thing the user can still do while a press waits: the wait ends at once,
  // and the handler stops.
  if (waiting_loop_ != nullptr) {
    closed_while_waiting_ = true;
    WakeTheWait();
  }
  QWidget::closeEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
  // The controls are not disabled while a press waits, which would grey them out; the user's
  // input to them is dropped instead.
  if (waiting_loop_ != nullptr && IsInput(event->type())) {
    if (const auto* widget = qobject_cast<QWidget*>(watched); widget && widget->window() == this) {
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void Form1::WakeTheWait() {
  woken_ = true;
  if (waiting_loop_ != nullptr) waiting_loop_->quit();
}

WaitEnd Form1::AwaitCall(BackgroundTask& call, LongWaitRule& rule) {
  BusyCursor busy;
  // The request can take half a minute where a firewall drops packets. It runs on a thread of
  // its own while this one goes on drawing the window and answering the desktop's "are you
  // alive" (_NET_WM_PING), so that the desktop does not grey the window out as hung. At start,
  // before the window has appeared, the same loop shows the small window of a long wait.
  closed_while_waiting_ = false;
  cancelled_ = false;
  std::unique_ptr<QProgressDialog> wait_window;
  QEventLoop loop;
  QTimer look_again;
  look_again.setSingleShot(true);
  // At each of the call's steps and when the rule asks: the wait ends, or the small window is
  // shown. Done where it is woken, since a handler of the wait's own events may spin its own loop.
  const auto look = [&] {
    if (call.Ended() || closed_while_waiting_ || cancelled_) {
      WakeTheWait();
      return;
    }
    const LongWaitRule::Step step = rule.Check(call, std::chrono::steady_clock::now());
    if (step.show) {
      busy.Lift();
      wait_window = MakeWaitWindow(rule.waiting_text(), isVisible() ? this : nullptr);
      connect(wait_window.get(), &QProgressDialog::canceled, this, [this] {
        cancelled_ = true;
        WakeTheWait();
      });
      wait_window->show();
      wait_window->raise();
      wait_window->activateWindow();
    }
    if (step.look_again_at) {
      const auto delay = std::chrono::ceil<std::chrono::milliseconds>(
          *step.look_again_at - std::chrono::steady_clock::now());
      look_again.start(std::max<int>(0, static_cast<int>(delay.count())));
    }
  };
  connect(&look_again, &QTimer::timeout, &loop, look);
  bool quitting = false;
  {
    const WaitScope scope(*this, waiting_loop_, loop);
    // Posted from the call's thread; Qt drops what is posted to a loop that goes before handling
    // it.
    call.SetNotice(
        [&loop, &look] { QMetaObject::invokeMethod(&loop, look, Qt::QueuedConnection); });
    look();
    woken_ = false;
    if (!call.Ended()) {
      loop.exec();
      // Not woken by us: the application is quitting.
      quitting = !woken_;
    }
    call.SetNotice(nullptr);
  }
  look_again.stop();
  wait_window.reset();
  // Closed, cancelled or quit meanwhile: the handler stops; a call still out is left to its
  // thread, which owns everything it uses (see main for how the program then ends).
  if (closed_while_waiting_ || cancelled_ || quitting) {
    if (!call.Ended()) left_a_request_running_ = true;
    if (cancelled_ && !closed_while_waiting_ && !quitting) return WaitEnd::kCancelled;
    return WaitEnd::kWindowClosed;
  }
  return WaitEnd::kCallEnded;
}

}  // namespace horalux
