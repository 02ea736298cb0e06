#include "ui/qt/form1.h"

#include <algorithm>
#include <exception>
#include <string>
#include <utility>

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "handlers/texts.h"
#include "ui/qt/qt_text.h"

namespace horalux {
namespace {

// The layout is drawn in twips, 15 to a device-independent pixel; Qt scales pixels to the screen.
constexpr int Px(int twips) { return twips / 15; }

// The controls reach 4215 × 1935 twips; the window adds the same margin on the right and at the
// bottom as the controls keep on the left and at the top.
constexpr int kMargin = Px(120);
constexpr int kClientWidth = Px(4215) + kMargin;
constexpr int kClientHeight = Px(1935) + kMargin;

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
    : QWidget(parent), handlers_(*this, message_box, clock, std::move(forms), std::move(query)) {
  setObjectName("Form1");
  setWindowTitle(ToQString(texts::kWindowCaption));
  setFixedSize(kClientWidth, kClientHeight);
  CreateControls();
}

void Form1::CreateControls() {
  Label1 = new QLabel(ToQString(texts::kLabel1), this);
  Label1->setObjectName("Label1");
  Label1->setGeometry(Px(120), Px(120), Px(735), Px(375));

  Text2 = new QLineEdit(ToQString(texts::kDefaultTimeServerUrl), this);
  Text2->setObjectName("Text2");
  Text2->setGeometry(Px(1080), Px(120), Px(3015), Px(495));

  Label2 = new QLabel(ToQString(texts::kLabel2), this);
  Label2->setObjectName("Label2");
  Label2->setGeometry(Px(240), Px(960), Px(735), Px(495));

  Text1 = new QLineEdit(this);
  Text1->setObjectName("Text1");
  Text1->setGeometry(Px(1080), Px(840), Px(3135), Px(495));

  Command1 = new QPushButton(ToQString(texts::kCommand1), this);
  Command1->setObjectName("Command1");
  Command1->setGeometry(Px(1560), Px(1440), Px(1815), Px(495));
  // Enter presses the button wherever the focus is (see keyPressEvent), Space when it has it.
  Command1->setDefault(true);
  Command1->setAutoDefault(true);
  connect(Command1, &QPushButton::clicked, this, [this] { handlers_.Command1_Click(); });

  for (QLabel* label : {Label1, Label2}) {
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  }
  // Screen readers announce each box by the label beside it.
  Label1->setBuddy(Text2);
  Label2->setBuddy(Text1);
  Text2->setAccessibleName(ToQString(texts::kText2AccessibleName));
  Text1->setAccessibleName(ToQString(texts::kText1AccessibleName));

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
    handlers_.Form_Load();
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

std::string Form1::RunBusy(const std::function<std::string()>& fetch) {
  BusyCursor busy;
  return fetch();
}

}  // namespace horalux
