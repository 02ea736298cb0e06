#include "ui/qt/wait_window.h"

#include <QLabel>

#include "handlers/texts.h"
#include "ui/qt/qt_text.h"

namespace horalux {

std::unique_ptr<QProgressDialog> MakeWaitWindow(std::string_view waiting_text, QWidget* parent) {
  const QString text = ToQString(waiting_text);
  // No range: the bar moves to and fro, since nobody can say how long the server will take.
  auto window = std::make_unique<QProgressDialog>(
      QString(), ToQString(texts::kCancelButton), 0, 0, parent,
      Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  // Plain text: a URL typed by the user must not be read as markup.
  auto* label = new QLabel(text);
  label->setTextFormat(Qt::PlainText);
  window->setLabel(label);
  window->setWindowTitle(text);
  window->setAccessibleName(text);
  window->setAccessibleDescription(text);
  // Closing it cancels the wait; at start, when it is the only window, that must not end the
  // program: the main window comes next.
  window->setAttribute(Qt::WA_QuitOnClose, false);
  window->setAutoClose(false);
  window->setAutoReset(false);
  // Esc rejects a dialog; here that is cancelling, like the button and closing the window.
  QObject::connect(window.get(), &QDialog::rejected, window.get(), &QProgressDialog::canceled);
  return window;
}

}  // namespace horalux
