// Form1 while a handler waits for a background call: the busy cursor, its input dropped, and the
// small window of a long wait when the wait rules say so.
#include "ui/win32/form1.h"

#include <chrono>
#include <memory>
#include <optional>

#include "handlers/wait_rules.h"
#include "runtime/base/error.h"
#include "ui/win32/busy_wait.h"
#include "ui/win32/wait_window.h"

namespace horalux {
namespace {

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

}  // namespace

WaitEnd Form1::AwaitCall(BackgroundTask& call, LongWaitRule& rule) {
  closed_ = false;
  cancelled_ = false;
  // On the heap: GCC's optimizer misreads an optional's destructor here as reading an
  // uninitialized font.
  std::unique_ptr<WaitWindow> wait_window;
  const auto look = [&]() -> std::optional<std::chrono::steady_clock::time_point> {
    const LongWaitRule::Step step = rule.Check(call, std::chrono::steady_clock::now());
    if (step.show) {
      // Over the window once it has appeared; at start, alone.
      const HWND owner = handle() != nullptr && ::IsWindowVisible(handle()) ? handle() : nullptr;
      PrepareControls();
      try {
        wait_window = std::make_unique<WaitWindow>(rule.waiting_text(), owner, handle(),
                                                   *dpi_functions_, [this] { cancelled_ = true; });
      } catch (const Error&) {
        // Without the small window the wait goes on as it did before there was one.
      }
    }
    return step.look_again_at;
  };
  bool ended;
  {
    const BusyScope busy(busy_);
    ended = PumpWhileRunning(
        call, {.window_taking_no_input = handle(),
               .abandon = [this] { return closed_ || cancelled_; },
               .look = look,
               .dialog_window = [&] { return wait_window ? wait_window->handle() : nullptr; }});
  }
  wait_window.reset();
  if (ended) return WaitEnd::kCallEnded;
  // The call's thread owns what it uses and ends on its own.
  request_left_ = true;
  return cancelled_ && !closed_ ? WaitEnd::kCancelled : WaitEnd::kWindowClosed;
}

}  // namespace horalux
