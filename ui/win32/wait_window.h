// The small window that makes a wait of over a second known: what the program waits for, a moving
// progress bar and a 取消 button (Esc, or closing the window, does the same).
#pragma once

#include <functional>
#include <string_view>

#include <windows.h>

#include "runtime/base/windows_handles.h"
#include "ui/win32/dpi.h"
#include "ui/win32/window.h"

namespace horalux {

class WaitWindow : public Window {
 public:
  // Shows the window at once, with the focus on its button. Its caption and its label are both
  // `waiting_text`, so that the taskbar and screen readers name the host too. With an owner it is
  // placed over it; without one (at start) it is the program's only window, centred on the
  // monitor of `placed_near`. `on_cancel` is called for the button, Esc and closing the window; the
  // window stays until destroyed.
  WaitWindow(std::string_view waiting_text, HWND owner, HWND placed_near, const Dpi& dpi,
             std::function<void()> on_cancel);

 private:
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;
  void LayOut(HWND owner, HWND placed_near, const Dpi& dpi);

  std::function<void()> on_cancel_;
  UniqueFont font_;
  HWND label_ = nullptr;
  HWND progress_ = nullptr;
  HWND cancel_ = nullptr;
};

}  // namespace horalux
