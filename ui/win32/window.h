// A top-level window of the program: its window class registered once, and the class's messages
// routed to the object that made the window (kept in GWLP_USERDATA from WM_NCCREATE on), so that
// a concrete window writes only its message handler.
#pragma once

#include <string>

#include <windows.h>

namespace horalux {

// The program's icon among its resources (packaging/windows/horalux.rc.in).
inline constexpr int kProgramIconResource = 1;

class Window {
 public:
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  // Null until Create and after the window is destroyed.
  HWND handle() const { return window_; }

 protected:
  Window() = default;
  // Destroys a window still there without its handler, which is gone with the concrete window:
  // no message of the destruction reaches it (nor posts WM_QUIT for a loop that never runs).
  virtual ~Window();

  // Registers the class `class_name` (once per process: on the program's icon, the arrow cursor
  // and the dialog background) and makes the window, owned by `owner` if given. Throws Error on
  // failure.
  void Create(const wchar_t* class_name, const std::wstring& caption, DWORD style,
              DWORD extended_style = 0, HWND owner = nullptr);

  // Every message to the window from WM_NCCREATE to WM_DESTROY; what it does not handle goes to
  // DefWindowProcW.
  virtual LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) = 0;

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

  HWND window_ = nullptr;
};

}  // namespace horalux
