#include "ui/win32/win32_message_box.h"

#include <string>

#include "handlers/error_report.h"
#include "handlers/texts.h"
#include "ui/win32/wide_text.h"

namespace horalux {
namespace {

void ShowBox(HWND owner, const std::wstring& text, UINT icon) {
  const std::wstring title = TextToShow(texts::kApplicationTitle);
  // The language argument is ignored by Windows: the button's text ("确定" on Chinese Windows)
  // is the system's own, in the system's language.
  // Without an owner the box is the program's only window and must come to the front itself,
  // above the windows that took the front during a slow request; the foreground lock may refuse
  // it the focus, but not the top of the stack.
  const UINT flags =
      MB_OK | icon | (owner == nullptr ? MB_SETFOREGROUND | MB_TOPMOST | MB_TASKMODAL : 0);
  ::MessageBoxExW(owner, text.c_str(), title.c_str(), flags,
                  MAKELANGID(LANG_CHINESE, SUBLANG_CHINESE_SIMPLIFIED));
}

}  // namespace

std::wstring ErrorReportText(const Error& error) {
  return TextToShow(ErrorReportTitle(error)) + L"\n" + TextToShow(error.detail());
}

void Win32MessageBox::Show(std::string_view prompt) { ShowBox(owner_, TextToShow(prompt), 0); }

void Win32MessageBox::ReportError(const Error& error) {
  ShowBox(owner_, ErrorReportText(error), MB_ICONERROR);
}

}  // namespace horalux
