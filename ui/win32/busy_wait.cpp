#include "ui/win32/busy_wait.h"

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
  std::function<std::string()> fetch;
  std::string result;
  std::exception_ptr failure;
  UniqueHandle done;
};

bool IsInputToDrop(const MSG& message, HWND window) {
  if (window == nullptr) return false;
  if (message.hwnd != window && !::IsChild(window, message.hwnd)) return false;
  if (message.message == WM_SYSKEYDOWN && message.wParam == VK_F4) return false;
  return (message.message >= WM_KEYFIRST && message.message <= WM_KEYLAST) ||
         (message.message >= WM_MOUSEFIRST && message.message <= WM_MOUSELAST);
}

// Delivers the thread's messages until `done` is signalled (true) or the wait is abandoned
// (false).
bool WaitPumping(HANDLE done, const BusyWaitOptions& options) {
  for (;;) {
    const DWORD woken =
        ::MsgWaitForMultipleObjectsEx(1, &done, INFINITE, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    if (woken == WAIT_OBJECT_0) return true;
    MSG message{};
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) {
        ::PostQuitMessage(static_cast<int>(message.wParam));
        return false;
      }
      if (IsInputToDrop(message, options.window_taking_no_input)) continue;
      ::TranslateMessage(&message);
      ::DispatchMessageW(&message);
      if (options.abandon && options.abandon()) return false;
    }
  }
}

}  // namespace

std::optional<std::string> FetchWhilePumping(std::function<std::string()> fetch,
                                             const BusyWaitOptions& options) {
  auto job = std::make_shared<FetchJob>();
  job->fetch = std::move(fetch);
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

  if (!WaitPumping(job->done.get(), options)) {
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
