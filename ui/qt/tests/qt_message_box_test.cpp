// The Qt message boxes: title, the one button, icon and what they say.
#include <clocale>

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTextDocument>
#include <QTimer>

#include "runtime/base/error.h"
#include "ui/qt/chinese_language.h"
#include "ui/qt/qt_message_box.h"

using horalux::Error;
using horalux::ErrorKind;

class QtMessageBoxTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { horalux::UseSimplifiedChinese(*qApp); }
  void boxesAreModalWithTheTitleAndOneOkButton();
  void promptIsShownAsItStandsWithoutIcon();
  void errorReportNamesTheKindAndTheCauseWithMarkupShownAsText();
  void showReturnsWhenTheUserDismissesTheBox();
  void qtsOwnTextsAndGlyphFormsAreSimplifiedChinese();
};

void QtMessageBoxTest::boxesAreModalWithTheTitleAndOneOkButton() {
  for (const auto& box : {horalux::MakePromptBox("1994/11/6 16:49:37"),
                          horalux::MakeErrorReport(Error(ErrorKind::kNetwork, "连接被拒绝"))}) {
    QCOMPARE(box->windowTitle(), QString("Horalux"));
    QCOMPARE(box->windowModality(), Qt::ApplicationModal);
    QCOMPARE(box->buttons().size(), 1);
    QCOMPARE(box->buttons()[0]->text(), QString("确定"));
    QCOMPARE(static_cast<QAbstractButton*>(box->defaultButton()), box->buttons()[0]);
    QCOMPARE(box->escapeButton(), box->buttons()[0]);
  }
}

void QtMessageBoxTest::promptIsShownAsItStandsWithoutIcon() {
  const auto box = horalux::MakePromptBox("<b>设置时间成功！</b>");
  QCOMPARE(box->icon(), QMessageBox::NoIcon);
  QCOMPARE(box->textFormat(), Qt::PlainText);
  QCOMPARE(box->text(), QString("<b>设置时间成功！</b>"));
}

void QtMessageBoxTest::errorReportNamesTheKindAndTheCauseWithMarkupShownAsText() {
  const auto box =
      horalux::MakeErrorReport(Error(ErrorKind::kTypeMismatch, "“<i>x</i>” 不是有效的日期时间"));
  QCOMPARE(box->icon(), QMessageBox::Critical);
  QCOMPARE(box->textFormat(), Qt::RichText);
  QTextDocument shown;
  shown.setHtml(box->text());
  QCOMPARE(shown.toPlainText(), QString("无法读取网站的时间\n“<i>x</i>” 不是有效的日期时间"));
}

void QtMessageBoxTest::showReturnsWhenTheUserDismissesTheBox() {
  QString seen;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    QVERIFY(box != nullptr);
    seen = box->text();
    QTest::keyClick(box, Qt::Key_Return);
  });
  horalux::QtMessageBox().Show("设置时间成功！");
  QCOMPARE(seen, QString("设置时间成功！"));
}

void QtMessageBoxTest::qtsOwnTextsAndGlyphFormsAreSimplifiedChinese() {
  QCOMPARE(QLocale().language(), QLocale::Chinese);
  QCOMPARE(QLocale().territory(), QLocale::China);
  QCOMPARE(QApplication::font().families().value(0), QString("Noto Sans CJK SC"));
  // The test runs under a Japanese locale; the shaper must not pick the Japanese forms from it.
  const QString character_type = std::setlocale(LC_CTYPE, nullptr);
  QVERIFY2(character_type.startsWith("zh_CN") || character_type.startsWith("C."),
           qPrintable(character_type));
  // The line edits' context menu.
  QCOMPARE(QLineEdit::tr("Select All").isEmpty(), false);
  QCOMPARE(QCoreApplication::translate("QLineEdit", "Select All"), QString("全选"));
}

QTEST_MAIN(QtMessageBoxTest)
#include "qt_message_box_test.moc"
