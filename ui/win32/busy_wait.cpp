#include "ui/win32/busy_wait.h"

#include <algorithm>

#include "runtime/base/windows_handles.h"
#include "ui/win32/windows_failure.h"

namespace horalux {
namespace {

bool IsInputToDrop(const MSG& message, HWND window) {
  if (window == nullptr) return false;
  if (message.hwnd != window && !::IsChild(window, message.hwnd)) return false;
  if (message.message == WM_SYSKEYDOWN && message.wParam == VK_F4) return false;
  return (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) ||
         (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST);
}

bool IsDialogKey(MSG& message, const BusyWaitOptions& options) {
  if (!options.dialog_window) return false;
  const HWND dialog = options.dialog_window();
  return dialog != nullptr && ::IsDialogMessageW(dialog, &message);
}

// Milliseconds until `at`, for MsgWaitForMultipleObjectsEx; INFINITE when there is no `at`.
DWORD TimeoutUntil(const std::optional<std::chrono::steady_clock::time_point>& at) {
  if (!at) return INFINITE;
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(*at - std::chrono::steady_clock::now());
  return static_cast<DWORD>(
      std::clamp<std::chrono::milliseconds::rep>(left.count(), 0, INFINITE - 1));
}

// The call's steps set an event this thread waits on beside its messages; no step is noticed
// once the scope has gone.
class NoticeScope {
 public:
  explicit NoticeScope(BackgroundTask& call) : call_(call) {
    // Auto-reset: each wake-up takes the notices that came before it.
    event_.reset(::CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!event_) ThrowWindowsFailure("无法创建事件对象");
    call_.SetNotice([event = event_.get()] { ::SetEvent(event); });
  }
  ~NoticeScope() { call_.SetNotice(nullptr); }
  NoticeScope(const NoticeScope&) = delete;
  NoticeScope& operator=(const NoticeScope&) = delete;

  HANDLE event() const { return event_.get(); }

 private:
  BackgroundTask& call_;
  UniqueHandle event_;
};

}  // namespace

bool PumpWhileRunning(BackgroundTask& call, const BusyWaitOptions& options) {
  const NoticeScope notices(call);
  const HANDLE event = notices.event();
  for (;;) {
    if (call.Ended()) return true;
    const std::optional<std::chrono::steady_clock::time_point> look_again =
        options.look ? options.look() : std::nullopt;
    if (call.Ended()) return true;
    const DWORD woken = ::MsgWaitForMultipleObjectsEx(1, &event, TimeoutUntil(look_again),
                                                      QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woken != WAIT_OBJECT_0 + 1) continue;  // a step of the call's, or the time to look
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(message.wParam));
        return false;
      }
      if (IsInputToDrop(message, options.window_taking_no_input)) continue;
      if (!IsDialogKey(message, options)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
      }
      if (options.abandon && options.abandon()) return false;
    }
  }
}

void RefreshCursor() {
  POINT pointer{};
  if (!::GetCursorPos(&pointer)) return;
  const HWND under = ::WindowFromPoint(pointer);
  // Only a window of this thread: another's would be asked across threads for nothing.
  if (under == nullptr || ::GetWindowThreadProcessId(under, nullptr) != ::GetCurrentThreadId()) {
    return;
  }
  const LRESULT hit = ::SendMessageW(under, WM_NCHITTEST, 0, MAKELPARAM(pointer.x, pointer.y));
  ::SendMessageW(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under),
                 MAKELPARAM(static_cast<WORD>(hit), WM_MOUSEMOVE));
}

}  // namespace horalux
