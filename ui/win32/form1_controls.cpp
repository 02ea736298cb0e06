// Form1's controls: the common controls' classes, each control of the window's description made
// as Win32 makes its kind, and found by its name.
#include "ui/win32/form1.h"

#include <commctrl.h>
#include <imm.h>

#include <stdexcept>
#include <string>

#include "ui/layout/form1_layout.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/wide_text.h"
#include "ui/win32/windows_failure.h"

namespace horalux {
namespace {

// How Win32 makes each kind of control of the window's description.
struct ControlClass {
  const wchar_t* window_class;
  DWORD style;
  DWORD extended_style;
};

ControlClass ClassOf(form1_layout::ControlKind kind) {
  switch (kind) {
    case form1_layout::ControlKind::kLabel:
      return {WC_STATICW, SS_LEFT | SS_NOPREFIX, 0};
    case form1_layout::ControlKind::kTextBox:
      return {WC_EDITW, WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case form1_layout::ControlKind::kButton:
      return {WC_BUTTONW, WS_TABSTOP | BS_DEFPUSHBUTTON, 0};
  }
  return {};
}

}  // namespace

struct Form1::NamedControl {
  std::string_view name;
  HWND Form1::*member;
  int id;
};

// By name: the order is form1_layout::kControls's alone.
const std::array<Form1::NamedControl, form1_layout::kControls.size()> Form1::kNamedControls = {{
    {"Command1", &Form1::Command1, control_ids::kCommand1},
    {"Label1", &Form1::Label1, control_ids::kLabel1},
    {"Label2", &Form1::Label2, control_ids::kLabel2},
    {"Text1", &Form1::Text1, control_ids::kText1},
    {"Text2", &Form1::Text2, control_ids::kText2},
}};

const Form1::NamedControl& Form1::NamedControlOf(std::size_t index) {
  const std::string_view name = form1_layout::kControls[index].name;
  for (const NamedControl& named : kNamedControls) {
    if (named.name == name) return named;
  }
  throw std::logic_error("Form1 has no control called " + std::string(name));
}

HWND Form1::Control(std::size_t index) const { return this->*NamedControlOf(index).member; }

std::wstring Form1::WindowText(HWND control) {
  std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control)) + 1, L'\0');
  text.resize(static_cast<std::size_t>(
      ::GetWindowTextW(control, text.data(), static_cast<int>(text.size()))));
  return text;
}

void Form1::PrepareControls() {
  if (dpi_functions_) return;
  // Visual styles for the controls (common controls 6, to which the manifest sends this name);
  // the progress bar is the wait window's. Loaded here rather than imported: an import is loaded
  // before the program's first line, and with it the window system, ahead of the start-up
  // request. Kept for the life of the program.
  INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS};
  if (const HMODULE comctl32 = ::LoadLibraryW(L"comctl32.dll")) {
    using InitFunction = BOOL(WINAPI*)(const INITCOMMONCONTROLSEX*);
    if (const auto init = reinterpret_cast<InitFunction>(
            reinterpret_cast<void*>(::GetProcAddress(comctl32, "InitCommonControlsEx")))) {
      init(&controls);
    }
  }
  dpi_functions_.emplace();
}

void Form1::CreateControl(std::size_t index) {
  const form1_layout::Control& description = form1_layout::kControls[index];
  const ControlClass kind = ClassOf(description.kind);
  const NamedControl& named = NamedControlOf(index);
  const std::string_view text = named.member == &Form1::Text1   ? std::string_view(initial_text1_)
                                : named.member == &Form1::Text2 ? std::string_view(initial_text2_)
                                                                : description.text;
  const HWND control =
      ::CreateWindowExW(kind.extended_style, kind.window_class, TextToShow(text).c_str(),
                        WS_CHILD | WS_VISIBLE | kind.style, 0, 0, 0, 0, handle(),
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(named.id)),
                        ::GetModuleHandleW(nullptr), nullptr);
  if (control == nullptr) ThrowWindowsFailure("无法创建窗口中的控件");
  this->*named.member = control;
  // A URL is typed in ASCII: an input method left in Chinese mode would give full-width "：／／".
  if (named.member == &Form1::Text2) ::ImmAssociateContextEx(Text2, nullptr, 0);
}

}  // namespace horalux
