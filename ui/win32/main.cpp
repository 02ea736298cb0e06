// The program's entry on Windows: the window on the computer's clock, the user's regional forms
// and MessageBoxW.
#include <windows.h>

#include <exception>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/base/error.h"
#include "runtime/base/system_text.h"
#include "runtime/clock/clock.h"
#include "runtime/datetime/text_forms.h"
#include "ui/win32/form1.h"
#include "ui/win32/win32_message_box.h"
#include "webtime/web_time.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show_command) {
  horalux::Win32MessageBox message_box;
  try {
    // Without the user's forms there is no time text to show or read back.
    const horalux::TextForms forms = horalux::UserTextForms();
    const std::unique_ptr<horalux::Clock> clock = horalux::OpenSystemClock();
    horalux::Form1 window(message_box, *clock, forms, [forms](std::string_view url) {
      return horalux::GetWebTime(url, forms);
    });
    window.Load();
    window.Show(show_command);
    message_box.SetOwner(window.handle());
    return window.RunMessageLoop();
  } catch (const horalux::Error& error) {
    message_box.SetOwner(nullptr);
    message_box.ReportError(error);
  } catch (const std::exception& error) {
    message_box.SetOwner(nullptr);
    message_box.ReportError(
        horalux::Error(horalux::ErrorKind::kSystem, "程序内部出现意外错误（" +
                                                        horalux::SystemTextToUtf8(error.what()) +
                                                        "）。请重新启动程序。"));
  }
  return 1;
}
