// Waiting for a slow call without freezing the program's windows: the call runs on a thread of
// its own while this thread goes on delivering its messages, so that the windows stay drawn and
// answer the system meanwhile.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include <windows.h>

namespace horalux {

struct BusyWaitOptions {
  // Input to this window and its controls is dropped while waiting, so that it takes no input
  // but stays drawn; its caption still works, and Alt+F4 still closes it. Null: none dropped.
  HWND window_taking_no_input = nullptr;
  // Asked after each message delivered: true abandons the wait (its window was closed, say).
  std::function<bool()> abandon;
  // Called once, on this thread, when the fetch has run `long_wait_ms` after its preparation
  // without an answer.
  DWORD long_wait_ms = INFINITE;
  std::function<void()> on_long_wait;
  // The window whose keys go through IsDialogMessageW (Esc, Tab), if any.
  std::function<HWND()> dialog_window;
};

// Runs `prepare` (if set) and then `fetch` on a thread of their own and delivers this thread's
// messages until they have finished, then returns the fetch's result or throws what either
// raised. Nothing when the wait was abandoned, by `options.abandon` or by WM_QUIT (put back for
// the loop further out): the thread is then left running, owning everything it uses. It can
// neither be stopped nor waited for, so the process should end without waiting for it
// (TerminateProcess, not ExitProcess, whose unloading of DLLs could wait for locks that thread
// holds).
std::optional<std::string> FetchWhilePumping(std::function<void()> prepare,
                                             std::function<std::string()> fetch,
                                             const BusyWaitOptions& options);

// Has the window under the mouse pointer set its cursor again, as a move of the mouse would: the
// arrow comes back as soon as a wait ends.
void RefreshCursor();

}  // namespace horalux
