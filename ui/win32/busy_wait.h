// Waiting for a background call without freezing the program's windows: this thread goes on
// delivering its messages until the call has ended, so that the windows stay drawn and answer the
// system meanwhile.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include <windows.h>

#include "runtime/background/background_call.h"

namespace horalux {

struct BusyWaitOptions {
  // Input to this window and its controls is dropped while waiting, so that it takes no input
  // but stays drawn; its caption still works, and Alt+F4 still closes it. Null: none dropped.
  HWND window_taking_no_input = nullptr;
  // Asked after each message delivered: true abandons the wait (its window was closed, say).
  std::function<bool()> abandon;
  // Run on this thread at the start and at each of the call's steps, and when it last asked to
  // be: when to run it again, if at all.
  std::function<std::optional<std::chrono::steady_clock::time_point>()> look;
  // The window whose keys go through IsDialogMessageW (Esc, Tab), if any.
  std::function<HWND()> dialog_window;
};

// Delivers this thread's messages until `call` has ended (true), or the wait was abandoned, by
// `options.abandon` or by WM_QUIT (put back for the loop further out): false. A call left so
// goes on owning everything it uses. It can neither be stopped nor waited for, so the process
// should end without waiting for it (TerminateProcess, not ExitProcess, whose unloading of DLLs
// could wait for locks that thread holds).
bool PumpWhileRunning(BackgroundTask& call, const BusyWaitOptions& options);

// Has the window under the mouse pointer set its cursor again, as a move of the mouse would: the
// arrow comes back as soon as a wait ends.
void RefreshCursor();

}  // namespace horalux
