#include "ui/win32/form1.h"

#include <commctrl.h>

#include <algorithm>
#include <exception>
#include <string>
#include <thread>
#include <utility>

#include "handlers/texts.h"
#include "runtime/base/error.h"
#include "runtime/base/windows_text.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/wide_text.h"

namespace horalux {
namespace {

constexpr wchar_t kWindowClass[] = L"HoraluxForm1";
constexpr int kIconResource = 1;  // packaging/windows/horalux.rc.in

// The layout is drawn in twips: 1440 to the inch, so 15 to a pixel at 96 dpi.
int Px(int twips, UINT dpi) { return ::MulDiv(twips, static_cast<int>(dpi), 1440); }

// The controls reach 4215 × 1935 twips; the window adds the same margin on the right and at the
// bottom as the controls keep on the left and at the top.
constexpr int kMarginTwips = 120;
constexpr int kClientWidthTwips = 4215 + kMarginTwips;
constexpr int kClientHeightTwips = 1935 + kMarginTwips;

// A fixed size, with minimise and close.
constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

struct HandleCloser {
  void operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// What a request's thread hands back. Shared, so that a thread left running at close still
// writes into memory of its own.
struct FetchJob {
  std::function<std::string()> fetch;
  std::string result;
  std::exception_ptr failure;
  UniqueHandle done;
};

[[noreturn]] void ThrowWindowsFailure(std::string_view what) {
  const DWORD code = ::GetLastError();
  throw Error(ErrorKind::kSystem, std::string(what) + "（" + WindowsErrorText(code) +
                                      "，错误代码 " + std::to_string(code) +
                                      "）。请重新启动程序。");
}

std::wstring WindowText(HWND control) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

// While a request is out the window keeps drawing and answering, but takes no input: keys and
// clicks in its client area are dropped. Its caption still works, and Alt+F4 still closes it.
bool IsInputToDrop(const MSG& message, HWND window) {
  if (message.hwnd != window && !::IsChild(window, message.hwnd)) return false;
  if (message.message == WM_SYSKEYDOWN && message.wParam == VK_F4) return false;
  return (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) ||
         (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST);
}

void RegisterWindowClass(HINSTANCE instance, WNDPROC procedure) {
  WNDCLASSEXW window_class{};
  window_class.cbSize = sizeof window_class;
  window_class.lpfnWndProc = procedure;
  window_class.hInstance = instance;
  window_class.hIcon = static_cast<HICON>(::LoadImageW(
      instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE | LR_SHARED));
  window_class.hIconSm = static_cast<HICON>(
      ::LoadImageW(instance, MAKEINTRESOURCEW(kIconResource), IMAGE_ICON,
                   ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
  window_class.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
  window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  window_class.lpszClassName = kWindowClass;
  if (::RegisterClassExW(&window_class) == 0 && ::GetLastError() != ERROR_CLASS_ALREADY_EXISTS) {
    ThrowWindowsFailure("无法注册窗口类");
  }
}

}  // namespace

Form1::Form1(MessageBoxService& message_box, Clock& clock, TextForms forms, WebTimeQuery query)
    : handlers_(*this, message_box, clock, std::move(forms), std::move(query)) {}

void Form1::CreateWindowAndControls() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  // Visual styles for the controls (common controls 6, asked for by the manifest).
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&controls);
  RegisterWindowClass(instance, &WindowProcedure);

  const std::wstring caption = TextToShow(texts::kWindowCaption);
  window_ = ::CreateWindowExW(0, kWindowClass, caption.c_str(), kWindowStyle, CW_USEDEFAULT,
                              CW_USEDEFAULT, 0, 0, nullptr, nullptr, instance, this);
  if (window_ == nullptr) ThrowWindowsFailure("无法创建窗口");
  CreateControls();
}

Form1::~Form1() {
  if (window_ != nullptr) ::DestroyWindow(window_);
}

void Form1::CreateControls() {
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  const auto create = [&](const wchar_t* window_class, std::string_view text, int id, DWORD style,
                          DWORD extended_style) {
    const HWND control = ::CreateWindowExW(
        extended_style, window_class, TextToShow(text).c_str(), WS_CHILD | WS_VISIBLE | style, 0, 0,
        0, 0, window_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
    if (control == nullptr) ThrowWindowsFailure("无法创建窗口中的控件");
    return control;
  };
  // Created in tab order, Command1 → Text1 → Text2, which Tab follows. Each label comes just
  // before its box, where screen readers look for a box's name.
  Command1 = create(WC_BUTTONW, texts::kCommand1, control_ids::kCommand1,
                    WS_TABSTOP | BS_DEFPUSHBUTTON, 0);
  Label2 = create(WC_STATICW, texts::kLabel2, control_ids::kLabel2, SS_LEFT | SS_NOPREFIX, 0);
  Text1 = create(WC_EDITW, initial_text1_, control_ids::kText1, WS_TABSTOP | ES_AUTOHSCROLL,
                 WS_EX_CLIENTEDGE);
  Label1 = create(WC_STATICW, texts::kLabel1, control_ids::kLabel1, SS_LEFT | SS_NOPREFIX, 0);
  Text2 = create(WC_EDITW, texts::kDefaultTimeServerUrl, control_ids::kText2,
                 WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE);
  focus_ = Command1;
}

void Form1::ApplyDpi(UINT dpi) {
  dpi_ = dpi;
  // The system's message font, at this monitor's scale.
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  UniqueFont font;
  if (::SystemParametersInfoForDpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0, dpi)) {
    font.reset(::CreateFontIndirectW(&metrics.lfMessageFont));
  }

  const struct {
    HWND control;
    int left, top, width, height;
  } places[] = {
      {Label1, 120, 120, 735, 375},      {Text2, 1080, 120, 3015, 495},
      {Label2, 240, 960, 735, 495},      {Text1, 1080, 840, 3135, 495},
      {Command1, 1560, 1440, 1815, 495},
  };
  for (const auto& place : places) {
    // Without a font of their own the controls keep the one they have.
    if (font) {
      ::SendMessageW(place.control, WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    }
    ::SetWindowPos(place.control, nullptr, Px(place.left, dpi), Px(place.top, dpi),
                   Px(place.width, dpi), Px(place.height, dpi), SWP_NOZORDER | SWP_NOACTIVATE);
  }
  // The old font goes only once no control uses it any more.
  if (font) font_ = std::move(font);
  FitLabelsToText();

  RECT frame{0, 0, Px(kClientWidthTwips, dpi), Px(kClientHeightTwips, dpi)};
  ::AdjustWindowRectExForDpi(&frame, kWindowStyle, FALSE, 0, dpi);
  ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  ::InvalidateRect(window_, nullptr, TRUE);
}

// A label keeps its place and width and grows downward as far as its wrapped text needs, but
// never over another control or into the bottom margin.
void Form1::FitLabelsToText() {
  const auto place_of = [this](HWND control) {
    RECT place{};
    ::GetWindowRect(control, &place);
    ::MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&place), 2);
    return place;
  };
  const HDC context = ::GetDC(window_);
  const HGDIOBJ old_font = ::SelectObject(context, font_.get());
  for (const HWND label : {Label1, Label2}) {
    const RECT place = place_of(label);
    int room = Px(kClientHeightTwips - kMarginTwips, dpi_) - place.top;
    for (const HWND other : {Label1, Text2, Label2, Text1, Command1}) {
      const RECT other_place = place_of(other);
      const bool overlaps_columns =
          other_place.left < place.right && place.left < other_place.right;
      if (other != label && overlaps_columns && other_place.top > place.top) {
        room = std::min<int>(room, other_place.top - place.top);
      }
    }
    // Measured as a static control draws its text: wrapped at word breaks, no prefixes.
    const std::wstring text = WindowText(label);
    RECT needed{0, 0, place.right - place.left, 0};
    ::DrawTextW(context, text.c_str(), static_cast<int>(text.size()), &needed,
                DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
    const int height = std::clamp<int>(needed.bottom, place.bottom - place.top,
                                       std::max<int>(room, place.bottom - place.top));
    ::SetWindowPos(label, nullptr, 0, 0, place.right - place.left, height,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::SelectObject(context, old_font);
  ::ReleaseDC(window_, context);
}

void Form1::Load() { handlers_.Form_Load(); }

void Form1::Show(int show_command) {
  // Made only now: the window, its controls, their fonts and the measuring of the labels' texts
  // would otherwise delay the start-up box, which needs none of them. The monitor the window will
  // appear on decides its scale.
  CreateWindowAndControls();
  ApplyDpi(::GetDpiForWindow(window_));

  // Centred on that monitor's work area.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(window_, MONITOR_DEFAULTTOPRIMARY), &monitor);
  RECT frame{};
  ::GetWindowRect(window_, &frame);
  const RECT& work = monitor.rcWork;
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  ::SetWindowPos(window_, nullptr, work.left + std::max(0L, (work.right - work.left - width) / 2),
                 work.top + std::max(0L, (work.bottom - work.top - height) / 2), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

  ::ShowWindow(window_, show_command);
  ::UpdateWindow(window_);
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
    if (window_ != nullptr && ::IsDialogMessageW(window_, &message)) continue;
    ::TranslateMessage(&message);
    ::DispatchMessageW(&message);
  }
  // Not ExitProcess: the request's thread may hold locks that unloading the DLLs would wait for.
  if (request_left_) ::TerminateProcess(::GetCurrentProcess(), static_cast<UINT>(exit_code));
  return exit_code;
}

LRESULT CALLBACK Form1::WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    auto* form = static_cast<Form1*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    form->window_ = window;
    ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
  }
  auto* form = reinterpret_cast<Form1*>(::GetWindowLongPtrW(window, GWLP_USERDATA));
  if (form == nullptr) return ::DefWindowProcW(window, message, wparam, lparam);
  if (message == WM_NCDESTROY) {
    ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    form->window_ = nullptr;
    return ::DefWindowProcW(window, message, wparam, lparam);
  }
  return form->HandleMessage(message, wparam, lparam);
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
      // As a dialog does: the focus leaves with the window and comes back to the same control.
      if (LOWORD(wparam) == WA_INACTIVE) {
        const HWND focus = ::GetFocus();
        if (focus != nullptr && ::IsChild(window_, focus)) focus_ = focus;
      } else if (focus_ != nullptr) {
        ::SetFocus(focus_);
      }
      return 0;
    case WM_SETFOCUS:
      if (focus_ != nullptr) ::SetFocus(focus_);
      return 0;
    case WM_SETCURSOR:
      if (busy_) {
        ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_DPICHANGED: {
      ApplyDpi(HIWORD(wparam));
      const auto* suggested = reinterpret_cast<const RECT*>(lparam);
      ::SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
      return 0;
    }
    case WM_SETTINGCHANGE:
      if (wparam == SPI_SETNONCLIENTMETRICS) ApplyDpi(dpi_);
      break;
    case WM_CLOSE:
      if (busy_) {
        // The handler is waiting further up this thread's stack: it stops first (RunBusy raises
        // WindowClosed), and the window goes once it has.
        closed_ = true;
        ::ShowWindow(window_, SW_HIDE);
        return 0;
      }
      ::DestroyWindow(window_);
      return 0;
    case WM_DESTROY:
      ::PostQuitMessage(0);
      return 0;
    default:
      break;
  }
  return ::DefWindowProcW(window_, message, wparam, lparam);
}

void Form1::OnCommand1() {
  if (busy_) return;
  handlers_.Command1_Click();
  if (closed_) ::DestroyWindow(window_);
}

// Before the window is made, the boxes hold their initial texts.
std::string Form1::ReadText2() const {
  if (Text2 == nullptr) return std::string(texts::kDefaultTimeServerUrl);
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
  // Not yet the small window that shows a long wait: the two steps run as one.
  const std::function<std::string()> fetch = [busy_fetch] {
    if (busy_fetch.prepare) busy_fetch.prepare();
    return busy_fetch.query();
  };
  // At start the window is not there yet: nothing to keep drawn, the request runs right here.
  if (window_ == nullptr || !::IsWindowVisible(window_)) {
    const HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    struct Restore {
      HCURSOR cursor;
      ~Restore() { ::SetCursor(cursor); }
    } restore{previous};
    return fetch();
  }

  auto job = std::make_shared<FetchJob>();
  job->fetch = fetch;
  job->done.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!job->done) ThrowWindowsFailure("无法创建事件对象");
  std::thread worker([job] {
    try {
      job->result = job->fetch();
    } catch (...) {
      job->failure = std::current_exception();
    }
    ::SetEvent(job->done.get());
  });

  busy_ = true;
  const HCURSOR previous = ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
  const bool finished = WaitPumping(job->done.get());
  busy_ = false;
  ::SetCursor(previous);

  if (!finished) {
    worker.detach();
    request_left_ = true;
    throw WindowClosed();
  }
  worker.join();
  if (job->failure) std::rethrow_exception(job->failure);
  return std::move(job->result);
}

// Delivers the thread's messages until `done` is signalled (true) or the window is closed (false),
// so that the window stays drawn and answers the system meanwhile.
bool Form1::WaitPumping(HANDLE done) {
  for (;;) {
    const DWORD woken =
        ::MsgWaitForMultipleObjectsEx(1, &done, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woken == WAIT_OBJECT_0) return true;
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        // For the loop further out, which ends the program.
        ::PostQuitMessage(static_cast<int>(message.wParam));
        return false;
      }
      if (IsInputToDrop(message, window_)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
      if (closed_) return false;
    }
  }
}

}  // namespace horalux
