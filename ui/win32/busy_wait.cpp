#include "ui/win32/busy_wait.h"

#include <algorithm>
#include <exception>
#include <memory>
#include <thread>
#include <type_traits>
#include <utility>

#include "ui/win32/windows_failure.h"

namespace horalux {
namespace {

struct HandleCloser {
  void operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

// What the fetch's thread hands back. Shared, so that a thread left running still writes into
// memory of its own.
struct FetchJob {
  std::function<void()> prepare;
  std::function<std::string()> fetch;
  std::string result;
  std::exception_ptr failure;
  UniqueHandle prepared;
  UniqueHandle done;
};

UniqueHandle NewEvent() {
  UniqueHandle event(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event) ThrowWindowsFailure("无法创建事件对象");
  return event;
}

bool IsSignalled(HANDLE event) { return ::WaitForSingleObject(event, 0) == WAIT_OBJECT_0; }

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

// Delivers the thread's messages until the job is done (true) or the wait is abandoned (false).
bool WaitPumping(const FetchJob& job, const BusyWaitOptions& options) {
  const HANDLE handles[] = {job.done.get(), job.prepared.get()};
  bool long_wait_pending = options.on_long_wait && options.long_wait_ms != INFINITE;
  // The long wait is counted from the end of the preparation, which is not a wait of ours.
  std::optional<ULONGLONG> long_wait_at;
  for (;;) {
    if (long_wait_pending && !long_wait_at && IsSignalled(job.prepared.get())) {
      long_wait_at = ::GetTickCount64() + options.long_wait_ms;
    }
    if (long_wait_pending && long_wait_at && ::GetTickCount64() >= *long_wait_at) {
      long_wait_pending = false;
      // An answer that has just come is not announced, not even for a moment.
      if (IsSignalled(job.done.get())) return true;
      options.on_long_wait();
    }
    DWORD timeout = INFINITE;
    if (long_wait_pending && long_wait_at) {
      timeout = static_cast<DWORD>(*long_wait_at - std::min(*long_wait_at, ::GetTickCount64()));
    }
    const DWORD watched = long_wait_pending && !long_wait_at ? 2 : 1;
    const DWORD woken =
        ::MsgWaitForMultipleObjectsEx(watched, handles, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woken == WAIT_OBJECT_0) return true;
    if (woken != WAIT_OBJECT_0 + watched) continue;  // prepared, or the long wait's time
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

}  // namespace

std::optional<std::string> FetchWhilePumping(std::function<void()> prepare,
                                             std::function<std::string()> fetch,
                                             const BusyWaitOptions& options) {
  auto job = std::make_shared<FetchJob>();
  job->prepare = std::move(prepare);
  job->fetch = std::move(fetch);
  job->prepared = NewEvent();
  job->done = NewEvent();
  std::thread worker([job] {
    try {
      if (job->prepare) job->prepare();
      ::SetEvent(job->prepared.get());
      job->result = job->fetch();
    } catch (...) {
      job->failure = std::current_exception();
    }
    ::SetEvent(job->done.get());
  });

  bool done = false;
  try {
    done = WaitPumping(*job, options);
  } catch (...) {
    // Raised by a window's handler while waiting: the thread is left as for an abandoned wait.
    worker.detach();
    throw;
  }
  if (!done) {
    worker.detach();
    return std::nullopt;
  }
  worker.join();
  if (job->failure) std::rethrow_exception(job->failure);
  return std::move(job->result);
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
