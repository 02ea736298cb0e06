#include "ui/form1.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "runtime/error.h"
#include "runtime/pattern_format.h"

namespace horalux {
namespace {

// The layout is drawn in twips, 15 to a device-independent pixel; Qt scales pixels to the screen.
constexpr int Px(int twips) { return twips / 15; }

// The controls reach 4215 × 1935 twips; the window adds the same margin on the right and at the
// bottom as the controls keep on the left and at the top.
constexpr int kMargin = Px(120);
constexpr int kClientWidth = Px(4215) + kMargin;
constexpr int kClientHeight = Px(1935) + kMargin;

QString ToQString(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The request is synchronous and blocks the window; the cursor tells the user why.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

Form1::Form1(MessageBoxService& message_box, Clock& clock, TextForms forms, WebTimeQuery query,
             QWidget* parent)
    : QWidget(parent),
      message_box_(message_box),
      clock_(clock),
      forms_(std::move(forms)),
      query_(std::move(query)) {
  setObjectName("Form1");
  setWindowTitle("设置时间");
  setFixedSize(kClientWidth, kClientHeight);
  CreateControls();
  FitLabelsToText();
}

void Form1::CreateControls() {
  Label1 = new QLabel("获取时间的网站：", this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(Px(120), Px(120), Px(735), Px(375));

  Text2 = new QLineEdit(ToQString(kDefaultTimeServerUrl), this);
  Text2->setObjectName("Text2");
  Text2->setGeometry(Px(1080), Px(120), Px(3015), Px(495));

  Label2 = new QLabel("获取的时间：", this);
  Label2->setObjectName("Label2");
  Label2->setGeometry(Px(240), Px(960), Px(735), Px(495));

  Text1 = new QLineEdit(this);
  Text1->setObjectName("Text1");
  Text1->setGeometry(Px(1080), Px(840), Px(3135), Px(495));

  Command1 = new QPushButton("设置", this);
  Command1->setObjectName("Command1");
  Command1->setGeometry(Px(1560), Px(1440), Px(1815), Px(495));
  // Enter presses the button wherever the focus is (see keyPressEvent), Space when it has it.
  Command1->setDefault(true);
  Command1->setAutoDefault(true);
  connect(Command1, &QPushButton::clicked, this, [this] { RunHandler([this] { Command1_Click(); }); });

  for (QLabel* label : {Label1, Label2}) {
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }
  // Screen readers announce each box by the label beside it; the labels' texts end in a colon
  // that reads badly, so the accessible names go without it.
  Label1->setBuddy(Text2);
  Label2->setBuddy(Text1);
  Text2->setAccessibleName("获取时间的网站");
  Text1->setAccessibleName("获取的时间");

  setTabOrder(Command1, Text1);
  setTabOrder(Text1, Text2);
  Command1->setFocus(Qt::OtherFocusReason);
}

// A label keeps its place and width and grows downward as far as its wrapped text needs, but
// never over another control or into the bottom margin.
void Form1::FitLabelsToText() {
  const QList<QWidget*> controls = {Label1, Text2, Label2, Text1, Command1};
  for (QLabel* label : {Label1, Label2}) {
    const QRect place = label->geometry();
    int room = kClientHeight - kMargin - place.top();
    for (const QWidget* other : controls) {
      const QRect other_place = other->geometry();
      const bool overlaps_columns =
          other_place.left() <= place.right() && place.left() <= other_place.right();
      if (other != label && overlaps_columns && other_place.top() > place.top()) {
        room = std::min(room, other_place.top() - place.top());
      }
    }
    const int needed = label->heightForWidth(place.width());
    const int height = std::clamp(needed, place.height(), std::max(room, place.height()));
    label->resize(place.width(), height);
  }
}

void Form1::setVisible(bool visible) {
  if (visible && !loaded_) {
    loaded_ = true;
    RunHandler([this] { Form_Load(); });
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

void Form1::Form_Load() {
  // Shown only: the time box stays empty until the set-clock command fills it.
  message_box_.Show(GetWebTime());
}

void Form1::Command1_Click() {
  // Every value goes through the time box, read afresh each time: what the box holds is what
  // the clock is set to.
  Text1->setText(ToQString(GetWebTime()));
  if (!IsDateTime(Text1->text().toStdString(), forms_)) {
    message_box_.Show("输入时间错误！");
    return;
  }
  SetLocalDateFromText(
      clock_, FormatPattern(ParseDateTime(Text1->text().toStdString(), forms_), "yyyy-mm-dd"));
  SetLocalTimeFromText(
      clock_, FormatPattern(ParseDateTime(Text1->text().toStdString(), forms_), "hh:mm:ss"));
  message_box_.Show("设置时间成功！");
}

std::string Form1::GetWebTime() {
  const std::string url = Text2->text().toStdString();
  BusyCursor busy;
  return query_(url);
}

void Form1::RunHandler(const std::function<void()>& handler) {
  // A failed request or a refused clock must not cost the user the window: the error is shown
  // and the window stays, so the address can be corrected and the press repeated.
  try {
    handler();
  } catch (const Error& error) {
    message_box_.ReportError(error);
  } catch (const std::exception& error) {
    message_box_.ReportError(
        Error(ErrorKind::kSystem, std::string("程序内部出现意外错误（") + error.what() +
                                      "）。请重试；如果问题仍然存在，请重新启动程序。"));
  }
}

}  // namespace horalux
