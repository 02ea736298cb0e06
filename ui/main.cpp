// The program's entry: the window on the real clock, the user's regional forms and Qt's boxes.
#include <memory>
#include <string>
#include <string_view>

#include <QApplication>

#include "runtime/clock.h"
#include "runtime/error.h"
#include "runtime/text_forms.h"
#include "ui/chinese_language.h"
#include "ui/form1.h"
#include "ui/qt_message_box.h"
#include "webtime/web_time.h"

namespace {

// The system clock, reached on its first use: a start-up without the clock service still shows
// the web time, and the failure is reported when the user asks to set the clock.
class ClockOpenedOnFirstUse : public horalux::Clock {
 public:
  void SetLocalDate(std::chrono::year_month_day date) override { Get().SetLocalDate(date); }
  void SetLocalTimeOfDay(std::chrono::seconds time_of_day) override {
    Get().SetLocalTimeOfDay(time_of_day);
  }

 private:
  horalux::Clock& Get() {
    if (!clock_) clock_ = horalux::OpenSystemClock();
    return *clock_;
  }
  std::unique_ptr<horalux::Clock> clock_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  horalux::UseSimplifiedChinese(application);
  horalux::QtMessageBox message_box;

  horalux::TextForms forms;
  try {
    forms = horalux::UserTextForms();
  } catch (const horalux::Error& error) {
    message_box.ReportError(error);
    return 1;
  }

  ClockOpenedOnFirstUse clock;
  horalux::Form1 window(message_box, clock, forms, [forms](std::string_view url) {
    return horalux::GetWebTime(url, forms);
  });
  window.show();
  return application.exec();
}
