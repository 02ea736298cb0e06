#include "ui/win32/wait_window.h"

#include <commctrl.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "handlers/texts.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/windows_failure.h"

namespace horalux {
namespace {

constexpr wchar_t kWindowClass[] = L"HoraluxWaitWindow";
constexpr DWORD kWindowStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU;

// Sizes in pixels at 96 dpi, as Windows' own progress dialogs have them.
constexpr int kMargin = 11;
constexpr int kGap = 7;
constexpr int kMinimumTextWidth = 260;
constexpr int kProgressHeight = 15;
constexpr int kButtonWidth = 75;
constexpr int kButtonHeight = 23;
constexpr UINT kMarqueeStepMs = 30;

HWND MakeControl(HWND parent, const wchar_t* window_class, const std::wstring& text, DWORD style,
                 int id) {
  const HWND control = ::CreateWindowExW(
      0, window_class, text.c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, parent,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), ::GetModuleHandleW(nullptr), nullptr);
  if (control == nullptr) ThrowWindowsFailure("无法创建等待窗口中的控件");
  return control;
}

}  // namespace

WaitWindow::WaitWindow(std::string_view waiting_text, HWND owner, HWND placed_near, const Dpi& dpi,
                       std::function<void()> on_cancel)
    : on_cancel_(std::move(on_cancel)) {
  const std::wstring text = TextToShow(waiting_text);
  // Alone, it stands for the program in the taskbar.
  Create(kWindowClass, text, kWindowStyle,
         WS_EX_DLGMODALFRAME | (owner == nullptr ? WS_EX_APPWINDOW : 0), owner);
  // The label comes first, where screen readers look for what the window is about.
  label_ = MakeControl(handle(), WC_STATICW, text, SS_LEFT | SS_NOPREFIX, -1);
  progress_ = MakeControl(handle(), PROGRESS_CLASSW, L"", PBS_MARQUEE, -1);
  ::SendMessageW(progress_, PBM_SETMARQUEE, TRUE, kMarqueeStepMs);
  cancel_ = MakeControl(handle(), WC_BUTTONW, TextToShow(texts::kCancelButton),
                        WS_TABSTOP | BS_DEFPUSHBUTTON, IDCANCEL);
  LayOut(owner, placed_near, dpi);
  ::ShowWindow(handle(), SW_SHOW);
  ::SetForegroundWindow(handle());
  ::SetFocus(cancel_);
}

void WaitWindow::LayOut(HWND owner, HWND placed_near, const Dpi& dpi) {
  const UINT window_dpi = dpi.ForWindow(owner != nullptr ? owner : placed_near);
  const auto scaled = [&](int pixels) {
    return ::MulDiv(pixels, static_cast<int>(window_dpi), USER_DEFAULT_SCREEN_DPI);
  };
  if (const std::optional<LOGFONTW> message_font = dpi.MessageFont(window_dpi)) {
    font_.reset(::CreateFontIndirectW(&*message_font));
  }
  if (font_) {
    for (const HWND control : {label_, progress_, cancel_}) {
      ::SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    }
  }

  // The label as wide as its text, on one line where the monitor allows.
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(label_)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(label_, text.data(), static_cast<int>(text.size()))));
  const HDC context = ::GetDC(handle());
  const HGDIOBJ old_font = font_ ? ::SelectObject(context, font_.get()) : nullptr;
  RECT needed{0, 0, scaled(4 * kMinimumTextWidth), 0};
  ::DrawTextW(context, text.c_str(), static_cast<int>(text.size()), &needed,
              DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
  if (old_font != nullptr) ::SelectObject(context, old_font);
  ::ReleaseDC(handle(), context);

  const int width = std::max<int>(needed.right, scaled(kMinimumTextWidth));
  const int label_height = needed.bottom;
  const int progress_top = scaled(kMargin) + label_height + scaled(kGap);
  const int button_top = progress_top + scaled(kProgressHeight) + scaled(kGap);
  const RECT client{0, 0, width + 2 * scaled(kMargin),
                    button_top + scaled(kButtonHeight) + scaled(kMargin)};
  ::SetWindowPos(label_, nullptr, scaled(kMargin), scaled(kMargin), width, label_height,
                 SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetWindowPos(progress_, nullptr, scaled(kMargin), progress_top, width, scaled(kProgressHeight),
                 SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetWindowPos(cancel_, nullptr, scaled(kMargin) + width - scaled(kButtonWidth), button_top,
                 scaled(kButtonWidth), scaled(kButtonHeight), SWP_NOZORDER | SWP_NOACTIVATE);

  // Centred over the owner, or alone on the work area of the monitor of `placed_near`.
  const RECT frame = dpi.WindowRectForClient(client, kWindowStyle, WS_EX_DLGMODALFRAME, window_dpi);
  const SIZE size{frame.right - frame.left, frame.bottom - frame.top};
  RECT area{};
  if (owner != nullptr) {
    ::GetWindowRect(owner, &area);
  } else {
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    ::GetMonitorInfoW(::MonitorFromWindow(placed_near, MONITOR_DEFAULTTOPRIMARY), &monitor);
    area = monitor.rcWork;
  }
  ::SetWindowPos(handle(), nullptr, area.left + (area.right - area.left - size.cx) / 2,
                 area.top + (area.bottom - area.top - size.cy) / 2, size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

LRESULT WaitWindow::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_COMMAND:
      // The button, and Esc through IsDialogMessageW.
      if (LOWORD(wparam) == IDCANCEL) {
        on_cancel_();
        return 0;
      }
      break;
    case WM_CLOSE:
      on_cancel_();
      return 0;
    case WM_ACTIVATE:
      if (LOWORD(wparam) != WA_INACTIVE) ::SetFocus(cancel_);
      return 0;
    case DM_GETDEFID:
      return MAKELRESULT(IDCANCEL, DC_HASDEFID);
    default:
      break;
  }
  return ::DefWindowProcW(handle(), message, wparam, lparam);
}

}  // namespace horalux
