// The program's one window on Win32: the URL box, the time box and the set-clock button, laid out
// in twips for the monitor's DPI and driven by keyboard as a dialog is; its start-up and its
// button's presses go to the shared handlers.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <type_traits>

#include <windows.h>

#include "handlers/form1_handlers.h"

namespace horalux {

class Form1 : private Form1Window {
 public:
  // The services must outlive the window. `forms` must be the ones `query` writes its time text
  // in, so that the set-clock command can read that text back. The window itself is made by Show.
  Form1(MessageBoxService& message_box, Clock& clock, TextForms forms, WebTimeQuery query);
  ~Form1() override;
  Form1(const Form1&) = delete;
  Form1& operator=(const Form1&) = delete;

  // Null until Show.
  HWND handle() const { return window_; }

  // The load handler: the start-up time is fetched and shown before the window is made.
  void Load();
  // Makes the window, lays it out for its monitor and shows it with the focus on the set-clock
  // button.
  void Show(int show_command);
  // Delivers the thread's messages until the window is closed; returns the exit code. A window
  // closed while a request was out leaves that request running on its thread, which can neither
  // be stopped nor waited for: then the process ends here, at once.
  int RunMessageLoop();

 private:
  struct FontDeleter {
    void operator()(HFONT font) const noexcept { ::DeleteObject(font); }
  };
  using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

  static LRESULT CALLBACK WindowProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);

  void CreateWindowAndControls();
  void CreateControls();
  void ApplyDpi(UINT dpi);
  void FitLabelsToText();
  void OnCommand1();
  bool WaitPumping(HANDLE done);

  std::string ReadText2() const override;
  std::string ReadText1() const override;
  void WriteText1(std::string_view text) override;
  std::string RunBusy(const BusyFetch& busy_fetch) override;

  Form1Handlers handlers_;
  HWND window_ = nullptr;
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  UniqueFont font_;
  HWND focus_ = nullptr;       // the control to give the focus back to on reactivation
  bool busy_ = false;          // a request is out
  bool closed_ = false;        // closed while busy; destroyed once the handler has stopped
  bool request_left_ = false;  // a request's thread was left running at close
  std::string initial_text1_;  // Text1 until the window is made

  HWND Label1 = nullptr;
  HWND Text2 = nullptr;
  HWND Label2 = nullptr;
  HWND Text1 = nullptr;
  HWND Command1 = nullptr;
};

}  // namespace horalux
