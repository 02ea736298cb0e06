// Form1's life and events: made in steps, shown, its message loop and the messages it handles
// (the button, dialog keys and focus, the cursor while busy, DPI and font changes, closing while
// busy), and the texts of its boxes.
#include "ui/win32/form1.h"

#include <string>
#include <utility>

#include "handlers/texts.h"
#include "runtime/base/windows_text.h"
#include "ui/layout/form1_layout.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/wide_text.h"

namespace horalux {
namespace {

constexpr wchar_t kWindowClass[] = L"HoraluxForm1";

}  // namespace

Form1::Form1(MessageBoxService& message_box, Clock& clock, TextForms forms, WebTimeQuery query,
             std::string url)
    : handlers_(*this, message_box, clock, std::move(forms), std::move(query)),
      initial_text2_(std::move(url)) {}

void Form1::Load(StartedQuery* started) { handlers_.Form_Load(started); }

void Form1::Build(const std::function<bool()>& enough) {
  // In small steps, so that an answer that comes in meanwhile is shown without delay.
  const auto stop = [&] { return enough && enough(); };
  if (!dpi_functions_) {
    if (stop()) return;
    PrepareControls();
  }
  if (handle() == nullptr) {
    if (stop()) return;
    Create(kWindowClass, TextToShow(texts::kWindowCaption), kWindowStyle);
  }
  // In tab order, which Tab follows.
  const auto order = form1_layout::CreationOrder();
  for (; controls_made_ < order.size(); ++controls_made_) {
    if (stop()) return;
    CreateControl(order[controls_made_]);
  }
  focus_ = Command1;
  if (placed_ || stop()) return;
  // The monitor the window will appear on decides its scale.
  PlaceOnMonitor(dpi_functions_->ForWindow(handle()));
  placed_ = true;
}

void Form1::Show(int show_command) {
  Build();
  ::ShowWindow(handle(), show_command);
  ::UpdateWindow(handle());
  ::SetFocus(Command1);
}

int Form1::RunMessageLoop() {
  MSG message{};
  int exit_code = 0;
  for (;;) {
    const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
    if (got == 0) {
      exit_code = static_cast<int>(message.wParam);
      break;
    }
    if (got == -1) break;
    // Tab, Shift+Tab and Enter as in a dialog.
    if (handle() != nullptr && ::IsDialogMessageW(handle(), &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  return exit_code;
}

LRESULT Form1::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wparam) == control_ids::kCommand1 && HIWORD(wparam) == BN_CLICKED) {
        OnCommand1();
        return 0;
      }
      break;
    case DM_GETDEFID:
      // Enter presses Command1 wherever the focus is.
      return MAKELRESULT(control_ids::kCommand1, DC_HASDEFID);
    case WM_ACTIVATE:
      // As a dialog does: the focus leaves with the window and comes back to the same control;
      // but not while minimized, where keys meant for another program would reach it.
      if (LOWORD(wparam) == WA_INACTIVE) {
        const HWND focus = ::GetFocus();
        if (focus != nullptr && ::IsChild(handle(), focus)) focus_ = focus;
      } else if (focus_ != nullptr && HIWORD(wparam) == 0) {
        ::SetFocus(focus_);
      }
      return 0;
    case WM_SETFOCUS:
      if (focus_ != nullptr && !::IsIconic(handle())) ::SetFocus(focus_);
      return 0;
    case WM_SETCURSOR:
      // The caption and the frame keep their own cursors.
      if (busy_ && LOWORD(lparam) == HTCLIENT) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_DPICHANGED: {
      // Moved and sized at once, where Windows suggests: in two steps the window could bounce
      // at a monitor's edge.
      LayOut(HIWORD(wparam));
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      ::SetWindowPos(handle(), nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
      SetIcons(dpi_);
      return 0;
    }
    case WM_SETTINGCHANGE:
      if (wparam == SPI_SETNONCLIENTMETRICS) {
        LayOut(dpi_);
        const SIZE size = WindowSize(dpi_);
        ::SetWindowPos(handle(), nullptr, 0, 0, size.cx, size.cy,
                       SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      }
      break;
    case WM_CLOSE:
      if (busy_) {
        // The handler is waiting further up this thread's stack: it stops first (AwaitCall ends
        // its wait), and the window goes once it has.
        closed_ = true;
        ::ShowWindow(handle(), SW_HIDE);
        return 0;
      }
      ::DestroyWindow(handle());
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(handle(), message, wparam, lparam);
}

void Form1::OnCommand1() {
  if (busy_) return;
  handlers_.Command1_Click();
  if (closed_) ::DestroyWindow(handle());
}

// Before the window is made, the boxes hold their initial texts.
std::string Form1::ReadText2() const {
  if (Text2 == nullptr) return initial_text2_;
  return WideToUtf8(WindowText(Text2));
}

std::string Form1::ReadText1() const {
  return Text1 != nullptr ? WideToUtf8(WindowText(Text1)) : initial_text1_;
}

void Form1::WriteText1(std::string_view text) {
  if (Text1 == nullptr) {
    initial_text1_ = text;
    return;
  }
  ::SetWindowTextW(Text1, TextToShow(text).c_str());
}

}  // namespace horalux
