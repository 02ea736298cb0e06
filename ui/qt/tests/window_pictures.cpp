// Takes pictures of the window and of every box it shows, on a real display (run under
// xvfb-run), and fails when any label, button or box text does not fit its place.
//   horalux_window_pictures <folder>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFontInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QTest>

#include "runtime/base/error.h"
#include "runtime/datetime/text_forms.h"
#include "testing/fake_clock.h"
#include "testing/time_server.h"
#include "ui/qt/chinese_language.h"
#include "ui/qt/form1.h"
#include "ui/qt/qt_message_box.h"
#include "webtime/web_time.h"

namespace {

// Every text a widget shows must fit its place, in the Simplified Chinese face: the failures
// found, one line each.
std::vector<QString> ClippedTexts(const QWidget& top) {
  std::vector<QString> clipped;
  const auto note = [&](const QWidget* widget, QSize needed) {
    clipped.push_back(
        QString("%1 %2 (%3) needs %4×%5, has %6×%7")
            .arg(top.objectName(), widget->metaObject()->className(), widget->objectName())
            .arg(needed.width())
            .arg(needed.height())
            .arg(widget->width())
            .arg(widget->height()));
  };
  for (const QLabel* label : top.findChildren<QLabel*>()) {
    if (!label->isVisible() || label->text().isEmpty()) continue;
    const QSize needed = label->wordWrap() ? QSize(label->minimumSizeHint().width(),
                                                   label->heightForWidth(label->width()))
                                           : label->sizeHint();
    if (needed.width() > label->width() || needed.height() > label->height()) {
      note(label, needed);
    }
  }
  // Han characters in Japanese or Traditional forms would be as wrong as clipped ones.
  for (const QWidget* widget : top.findChildren<QWidget*>()) {
    const QString family = QFontInfo(widget->font()).family();
    if (widget->isVisible() && family != "Noto Sans CJK SC") {
      clipped.push_back(QString("%1 %2 (%3) is drawn in %4, not Noto Sans CJK SC")
                            .arg(top.objectName(), widget->metaObject()->className(),
                                 widget->objectName(), family));
    }
  }
  for (const QAbstractButton* button : top.findChildren<QAbstractButton*>()) {
    if (!button->isVisible()) continue;
    const QSize needed = button->sizeHint();
    if (needed.width() > button->width() || needed.height() > button->height()) {
      note(button, needed);
    }
  }
  for (const QLineEdit* box : top.findChildren<QLineEdit*>()) {
    if (!box->isVisible() || box->text().isEmpty()) continue;
    // The text area of a line edit is its contents less the frame and a small side margin.
    QStyleOptionFrame option;
    option.initFrom(box);
    option.lineWidth =
        box->hasFrame() ? box->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) : 0;
    const QRect text_area = box->style()->subElementRect(QStyle::SE_LineEditContents, &option, box);
    const QSize needed(box->fontMetrics().horizontalAdvance(box->text()) + 4,
                       box->fontMetrics().height());
    if (needed.width() > text_area.width() || needed.height() > text_area.height()) {
      note(box, needed);
    }
  }
  return clipped;
}

class Photographer {
 public:
  explicit Photographer(QString folder) : folder_(std::move(folder)) {}

  void Take(QWidget& widget, const QString& name) {
    if (!QTest::qWaitForWindowExposed(&widget)) Fail(name + ": the window was never shown");
    QApplication::processEvents();
    const QString path = QDir(folder_).filePath(name + ".png");
    if (!widget.grab().save(path)) Fail("cannot write " + path);
    for (const QString& clipped : ClippedTexts(widget)) Fail(name + ": " + clipped);
    std::printf("%s\n", qPrintable(path));
  }

  void Fail(const QString& why) {
    std::fprintf(stderr, "%s\n", qPrintable(why));
    failed_ = true;
  }
  bool failed() const { return failed_; }

 private:
  QString folder_;
  bool failed_ = false;
};

// Shows each box as the program would, takes its picture instead of waiting for the user.
class PhotographedMessageBox : public horalux::MessageBoxService {
 public:
  explicit PhotographedMessageBox(Photographer& photographer) : photographer_(photographer) {}
  void NameNextPicture(QString name) { next_name_ = std::move(name); }

  void Show(std::string_view prompt) override { Take(*horalux::MakePromptBox(prompt)); }
  void ReportError(const horalux::Error& error) override { Take(*horalux::MakeErrorReport(error)); }

 private:
  void Take(QMessageBox& box) {
    box.setObjectName(next_name_);
    box.show();
    photographer_.Take(box, next_name_);
    box.close();
  }
  Photographer& photographer_;
  QString next_name_ = "box";
};

horalux::TextForms ChineseForms() {
  try {
    return horalux::TextFormsForLocale("zh_CN.UTF-8");
  } catch (const horalux::Error&) {
    return horalux::TextFormsForLocale("C.UTF-8");
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  QDir().mkpath(folder);
  horalux::UseSimplifiedChinese(application);

  Photographer photographer(folder);
  PhotographedMessageBox boxes(photographer);
  horalux::testing::FakeClock clock;
  horalux::testing::TimeServer server;
  server.ServeDate("Sun, 06 Nov 1994 08:49:37 GMT");
  const horalux::TextForms forms = ChineseForms();
  horalux::Form1 window(boxes, clock, forms,
                        [&forms](std::string_view url) { return horalux::GetWebTime(url, forms); });
  // The server is on loopback; the address shown in the pictures is the program's own default.
  window.setObjectName("window");
  auto* url_box = window.findChild<QLineEdit*>("Text2");
  const QString default_url = url_box->text();
  url_box->setText(QString::fromStdString(server.Url()));

  boxes.NameNextPicture("startup-time");
  window.show();
  url_box->setText(default_url);
  photographer.Take(window, "window");

  url_box->setText(QString::fromStdString(server.Url()));
  boxes.NameNextPicture("set-success");
  window.findChild<QPushButton*>("Command1")->click();
  url_box->setText(default_url);
  photographer.Take(window, "window-after-press");

  // The commonest failure: nothing answers at the address.
  url_box->setText(QString("http://127.0.0.1:%1/").arg(horalux::testing::UnusedLoopbackPort()));
  boxes.NameNextPicture("error-report");
  window.findChild<QPushButton*>("Command1")->click();

  return photographer.failed() ? 1 : 0;
}
