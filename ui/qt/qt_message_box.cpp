#include "ui/qt/qt_message_box.h"

#include <QPushButton>
#include <QString>

#include "handlers/error_report.h"
#include "handlers/texts.h"
#include "ui/qt/qt_text.h"

namespace horalux {
namespace {

std::unique_ptr<QMessageBox> MakeBox(QMessageBox::Icon icon, const QString& text,
                                     Qt::TextFormat format, QWidget* parent) {
  auto box = std::make_unique<QMessageBox>(icon, ToQString(texts::kApplicationTitle), text,
                                           QMessageBox::NoButton, parent);
  box->setWindowModality(parent != nullptr ? Qt::WindowModal : Qt::ApplicationModal);
  box->setTextFormat(format);
  QPushButton* ok = box->addButton(ToQString(texts::kOkButton), QMessageBox::AcceptRole);
  box->setDefaultButton(ok);
  box->setEscapeButton(ok);
  return box;
}

// A box often follows a wait, during which the user may have gone to another window: it comes to
// the front with the keyboard, so that Enter or Esc dismisses it at once.
void ShowInFront(QMessageBox& box) {
  box.show();
  box.raise();
  box.activateWindow();
  box.exec();
}

}  // namespace

std::unique_ptr<QMessageBox> MakePromptBox(std::string_view prompt, QWidget* parent) {
  // Plain text: whatever a server sent must not be read as markup.
  return MakeBox(QMessageBox::NoIcon, ToQString(prompt), Qt::PlainText, parent);
}

std::unique_ptr<QMessageBox> MakeErrorReport(const Error& error, QWidget* parent) {
  // The kind heads the report, the cause and what to do follow. Rich text wraps long causes;
  // the quoted values in them are escaped so that they are shown as they are.
  const QString text = "<b>" + ToQString(ErrorReportTitle(error)).toHtmlEscaped() + "</b><br>" +
                       ToQString(error.detail()).toHtmlEscaped().replace('\n', "<br>");
  return MakeBox(QMessageBox::Critical, text, Qt::RichText, parent);
}

void QtMessageBox::PrepareBox(std::string_view sample) {
  prepared_ = MakePromptBox(sample, parent_);
  prepared_->ensurePolished();
  prepared_->adjustSize();
  prepared_->winId();
}

void QtMessageBox::Show(std::string_view prompt) {
  if (!prepared_) {
    ShowInFront(*MakePromptBox(prompt, parent_));
    return;
  }
  const std::unique_ptr<QMessageBox> box = std::move(prepared_);
  box->setText(ToQString(prompt));
  ShowInFront(*box);
}

void QtMessageBox::ReportError(const Error& error) {
  ShowInFront(*MakeErrorReport(error, parent_));
}

}  // namespace horalux
