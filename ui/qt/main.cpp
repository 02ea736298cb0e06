// The program's entry: the window on the real clock, the user's regional forms and Qt's boxes.
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include <QApplication>

#include "runtime/base/error.h"
#include "runtime/clock/clock.h"
#include "runtime/datetime/text_forms.h"
#include "ui/qt/chinese_language.h"
#include "ui/qt/form1.h"
#include "ui/qt/qt_message_box.h"
#include "webtime/web_time.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QGuiApplication::setDesktopFileName(QStringLiteral(HORALUX_APP_ID));
  horalux::UseSimplifiedChinese(application);
  horalux::QtMessageBox message_box;

  // Without the user's forms there is no time text to show or read back.
  horalux::TextForms forms;
  try {
    forms = horalux::UserTextForms();
  } catch (const horalux::Error& error) {
    message_box.ReportError(error);
    return 1;
  }

  const std::unique_ptr<horalux::Clock> clock = horalux::OpenSystemClock();
  horalux::Form1 window(message_box, *clock, forms,
                        [forms](std::string_view url) { return horalux::GetWebTime(url, forms); });
  window.show();
  const int status = application.exec();
  // A press whose window was closed may have left its request running on its own thread, for up
  // to the request's time-out. The thread owns everything of ours it uses, but libcurl's and
  // OpenSSL's global state are torn down by the static destructors and atexit handlers of a
  // normal exit, beneath a transfer that may still be using them. Nothing is left to save or
  // flush, so end at once without them; the system closes the connections.
  if (window.LeftARequestRunning()) std::quick_exit(status);
  return status;
}
