// The program's one window on Win32: the URL box, the time box and the set-clock button, laid out
// in twips for the monitor's DPI and driven by keyboard as a dialog is; its start-up and its
// button's presses go to the shared handlers.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>

#include <windows.h>

#include "handlers/form1_handlers.h"
#include "handlers/started_query.h"
#include "handlers/texts.h"
#include "runtime/base/windows_handles.h"
#include "ui/layout/form1_layout.h"
#include "ui/win32/dpi.h"
#include "ui/win32/window.h"

namespace horalux {

class Form1 : public Window, private Form1Window {
 public:
  // The services must outlive the window. `forms` must be the ones `query` writes its time text
  // in, so that the set-clock command can read that text back. `url` is Text2's initial text.
  // The window itself is made by Build.
  Form1(MessageBoxService& message_box, Clock& clock, TextForms forms, WebTimeQuery query,
        std::string url = std::string(texts::kDefaultTimeServerUrl));

  // Makes the window and lays it out for its monitor, without showing it, in a few steps; stops
  // before the next step once `enough` says so (the start-up answer is in, and its box should
  // not wait for the window). Called again, it goes on where it stopped.
  void Build(const std::function<bool()>& enough = nullptr);
  // The load handler: the start-up time, from `started` if it is the query of Text2's URL,
  // shown before the window appears.
  void Load(StartedQuery* started = nullptr);
  // Builds the window if need be and shows it with the focus on the set-clock button.
  void Show(int show_command);
  // Delivers the thread's messages until the window is closed; returns the exit code.
  int RunMessageLoop();
  // A call's wait was left (the window closed, or the wait cancelled) and its thread may still
  // be running: it can neither be stopped nor waited for, so the process should end at once (see
  // PumpWhileRunning).
  bool LeftARequestRunning() const { return request_left_; }

 private:
  // A fixed size, with minimise and close.
  static constexpr DWORD kWindowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;

  // Each control by the name form1_layout::kControls gives it, which alone gives their order.
  struct NamedControl;
  static const std::array<NamedControl, form1_layout::kControls.size()> kNamedControls;
  static const NamedControl& NamedControlOf(std::size_t index);
  // The control of form1_layout::kControls[index].
  HWND Control(std::size_t index) const;
  static std::wstring WindowText(HWND control);

  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) override;

  // The common controls' classes and the DPI functions, for this window and the wait window.
  void PrepareControls();
  // The control of form1_layout::kControls[index].
  void CreateControl(std::size_t index);
  // The controls placed and their font sized for `dpi`, each label grown to show its text.
  void LayOut(UINT dpi);
  // The window's outer size at `dpi`.
  SIZE WindowSize(UINT dpi) const;
  void SetIcons(UINT dpi);
  // Laid out, with its icons, for `dpi` and centred on its monitor's work area.
  void PlaceOnMonitor(UINT dpi);
  void OnCommand1();

  std::string ReadText2() const override;
  std::string ReadText1() const override;
  void WriteText1(std::string_view text) override;
  WaitEnd AwaitCall(BackgroundTask& call, LongWaitRule& rule) override;

  Form1Handlers handlers_;
  std::optional<Dpi> dpi_functions_;  // looked up with the window
  UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
  UniqueFont font_;
  UniqueIcon small_icon_;
  UniqueIcon big_icon_;
  HWND focus_ = nullptr;           // the control to give the focus back to on reactivation
  bool busy_ = false;              // a request is out
  bool closed_ = false;            // closed while busy; destroyed once the handler has stopped
  std::size_t controls_made_ = 0;  // of form1_layout::CreationOrder()
  bool placed_ = false;            // laid out and placed on its monitor
  bool cancelled_ = false;         // the wait was cancelled in the small window
  bool request_left_ = false;      // a call's thread was left running
  std::string initial_text2_;      // Text2 until the window is made
  std::string initial_text1_;      // Text1 until the window is made

  HWND Label1 = nullptr;
  HWND Text2 = nullptr;
  HWND Label2 = nullptr;
  HWND Text1 = nullptr;
  HWND Command1 = nullptr;
};

}  // namespace horalux
