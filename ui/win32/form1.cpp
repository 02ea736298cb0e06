#include "ui/win32/form1.h"

#include <commctrl.h>
#include <imm.h>

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <utility>

#include "handlers/texts.h"
#include "runtime/base/error.h"
#include "runtime/base/windows_text.h"
#include "ui/layout/form1_layout.h"
#include "ui/win32/busy_wait.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/wait_window.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/windows_failure.h"

namespace horalux {
namespace {

constexpr wchar_t kWindowClass[] = L"HoraluxForm1";

// How long a request may take before the wait window shows it.
constexpr DWORD kLongWaitMs = 1000;

// A fixed size, with minimise and close.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

// While a request is out: the wait cursor over the window, and the arrow back when it is in.
class BusyScope {
 public:
  explicit BusyScope(bool& busy) : busy_(busy) {
    busy_ = true;
    RefreshCursor();
  }
  ~BusyScope() {
    busy_ = false;
    RefreshCursor();
  }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  bool& busy_;
};

std::wstring WindowText(HWND control) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

// How Win32 makes each kind of control of the window's description.
struct ControlClass {
  const wchar_t* window_class;
  DWORD style;
  DWORD extended_style;
};

ControlClass ClassOf(form1_layout::ControlKind kind) {
  switch (kind) {
    case form1_layout::ControlKind::kLabel:
      return {WC_STATICW, SS_LEFT | SS_NOPREFIX, 0};
    case form1_layout::ControlKind::kTextBox:
      return {WC_EDITW, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case form1_layout::ControlKind::kButton:
      return {WC_BUTTONW, WS_TABSTOP | BS_DEFPUSHBUTTON, 0};
  }
  return {};
}

// The identifiers of form1_layout::kControls, in its order.
constexpr std::array<int, form1_layout::kControls.size()> kControlIds = {
    control_ids::kLabel1, control_ids::kText2, control_ids::kLabel2, control_ids::kText1,
    control_ids::kCommand1};

}  // namespace

const std::array<HWND Form1::*, form1_layout::kControls.size()> Form1::kControlsInTableOrder = {
    &Form1::Label1, &Form1::Text2, &Form1::Label2, &Form1::Text1, &Form1::Command1};

Form1::Form1(MessageBoxService& message_box, Clock& clock, TextForms forms, WebTimeQuery query,
             std::string url)
    : handlers_(*this, message_box, clock, std::move(forms), std::move(query)),
      initial_text2_(std::move(url)) {}

void Form1::PrepareControls() {
  if (dpi_functions_) return;
  // Visual styles for the controls (common controls 6, to which the manifest sends this name);
  // the progress bar is the wait window's. Loaded here rather than imported: an import is loaded
  // before the program's first line, and with it the window system, ahead of the start-up
  // request. Kept for the life of the program.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  if (const HMODULE comctl32 = ::LoadLibraryW(L"comctl32.dll")) {
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    if (const auto init = reinterpret_cast<InitFunction>(
            reinterpret_cast<void*>(::GetProcAddress(comctl32, "InitCommonControlsEx")))) {
      init(&controls);
    }
  }
  dpi_functions_.emplace();
}

void Form1::CreateControl(std::size_t index) {
  const form1_layout::Control& description = form1_layout::kControls[index];
  const ControlClass kind = ClassOf(description.kind);
  const auto member = kControlsInTableOrder[index];
  const std::string_view text = member == &Form1::Text1   ? std::string_view(initial_text1_)
                                : member == &Form1::Text2 ? std::string_view(initial_text2_)
                                                          : description.text;
  const HWND control =
      ::CreateWindowExW(kind.extended_style, kind.window_class, TextToShow(text).c_str(),
                        WS_CHILD | WS_VISIBLE | kind.style, 0, 0, 0, 0, handle(),
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(kControlIds[index])),
                        ::GetModuleHandleW(nullptr), nullptr);
  if (control == nullptr) ThrowWindowsFailure("无法创建窗口中的控件");
  this->*member = control;
  // A URL is typed in ASCII: an input method left in Chinese mode would give full-width "：／／".
  if (member == &Form1::Text2) ::ImmAssociateContextEx(Text2, nullptr, 0);
}

void Form1::LayOut(UINT dpi) {
  dpi_ = dpi;
  // The system's message font, at this monitor's scale. Without a font of their own the
  // controls keep the one they have.
  UniqueFont font;
  if (const std::optional<LOGFONTW> message_font = dpi_functions_->MessageFont(dpi)) {
    font.reset(::CreateFontIndirectW(&*message_font));
  }
  if (font) {
    for (const auto member : kControlsInTableOrder) {
      ::SendMessageW(this->*member, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    }
    // The old font goes only once no control uses it any more.
    font_ = std::move(font);
  }

  // Labels measured as a static control draws its text: wrapped at word breaks, no prefixes.
  const HDC context = ::GetDC(handle());
  const HGDIOBJ old_font = font_ ? ::SelectObject(context, font_.get()) : nullptr;
  const auto places =
      form1_layout::Places(static_cast<int>(dpi), [&](std::size_t index, int width) {
        const std::wstring text = WindowText(this->*kControlsInTableOrder[index]);
        RECT needed{0, 0, width, 0};
        ::DrawTextW(context, text.c_str(), static_cast<int>(text.size()), &needed,
                    DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
        return static_cast<int>(needed.bottom);
      });
  if (old_font != nullptr) ::SelectObject(context, old_font);
  ::ReleaseDC(handle(), context);

  for (std::size_t i = 0; i < places.size(); ++i) {
    ::SetWindowPos(this->*kControlsInTableOrder[i], nullptr, places[i].left, places[i].top,
                   places[i].width, places[i].height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::InvalidateRect(handle(), nullptr, TRUE);
}

SIZE Form1::WindowSize(UINT dpi) const {
  const RECT client{
      0, 0, form1_layout::ToPixels(form1_layout::kClientWidthTwips, static_cast<int>(dpi)),
      form1_layout::ToPixels(form1_layout::kClientHeightTwips, static_cast<int>(dpi))};
  const RECT frame = dpi_functions_->WindowRectForClient(client, kWindowStyle, 0, dpi);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

void Form1::SetIcons(UINT dpi) {
  // Sized for the monitor: the class's icons are for the system DPI only.
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  // Not shared: a shared icon keeps the size it was first loaded at. The icon file holds the
  // sizes of 100 % to 250 %; LoadImageW scales the nearest for any other.
  const auto load = [&](int width_metric, int height_metric) {
    return UniqueIcon(
        static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconResource),
                                        IMAGE_ICON, dpi_functions_->SystemMetric(width_metric, dpi),
                                        dpi_functions_->SystemMetric(height_metric, dpi), 0)));
  };
  UniqueIcon small_icon = load(SM_CXSMICON, SM_CYSMICON);
  UniqueIcon big_icon = load(SM_CXICON, SM_CYICON);
  // The window keeps the icons it has where a size cannot be loaded; the old ones go only once
  // the window no longer shows them.
  if (small_icon) {
    ::SendMessageW(handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon.get()));
    small_icon_ = std::move(small_icon);
  }
  if (big_icon) {
    ::SendMessageW(handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon.get()));
    big_icon_ = std::move(big_icon);
  }
}

void Form1::Load(const StartedQuery* started) { handlers_.Form_Load(started); }

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
  const UINT dpi = dpi_functions_->ForWindow(handle());
  LayOut(dpi);
  SetIcons(dpi);

  // Centred on that monitor's work area.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(handle(), MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  const SIZE size = WindowSize(dpi);
  ::SetWindowPos(handle(), nullptr,
                 work.left + std::max(0L, (work.right - work.left - size.cx) / 2),
                 work.top + std::max(0L, (work.bottom - work.top - size.cy) / 2), size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
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
        // The handler is waiting further up this thread's stack: it stops first (RunBusy raises
        // WindowClosed), and the window goes once it has.
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

std::string Form1::RunBusy(const BusyFetch& busy_fetch) {
  closed_ = false;
  cancelled_ = false;
  std::optional<WaitWindow> wait_window;
  const auto show_wait_window = [&] {
    // Over the window once it has appeared; at start, alone.
    const HWND owner = handle() != nullptr && ::IsWindowVisible(handle()) ? handle() : nullptr;
    PrepareControls();
    try {
      wait_window.emplace(busy_fetch.waiting_text, owner, handle(), *dpi_functions_,
                          [this] { cancelled_ = true; });
    } catch (const Error&) {
      // Without the small window the wait goes on as it did before there was one.
    }
  };
  std::optional<std::string> result;
  {
    const BusyScope busy(busy_);
    // The clock's authorization of `prepare` is not a wait of ours: the long wait's second
    // starts after it.
    result = FetchWhilePumping(
        busy_fetch.prepare, busy_fetch.query,
        {.window_taking_no_input = handle(),
         .abandon = [this] { return closed_ || cancelled_; },
         .long_wait_ms = kLongWaitMs,
         .on_long_wait = show_wait_window,
         .dialog_window = [&] { return wait_window ? wait_window->handle() : nullptr; }});
  }
  wait_window.reset();
  if (!result) {
    // The request's thread owns what it uses and ends on its own within its deadline.
    request_left_ = true;
    if (cancelled_ && !closed_) throw FetchCancelled();
    throw WindowClosed();
  }
  return std::move(*result);
}

}  // namespace horalux
