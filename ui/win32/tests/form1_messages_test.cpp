// The window's answers to what Windows sends it, in this process: the input method kept off the
// URL box, the focus not given back while minimized, and a change of DPI that takes Windows'
// rectangle as it is and icons of the new size.
#include <windows.h>

#include <imm.h>

#include <string>
#include <string_view>

#include <gtest/gtest.h>

#include "runtime/datetime/text_forms.h"
#include "testing/fake_clock.h"
#include "testing/recording_message_box.h"
#include "ui/layout/form1_layout.h"
#include "ui/win32/control_ids.h"
#include "ui/win32/form1.h"

namespace horalux {
namespace {

struct ShownWindow {
  ShownWindow() { window.Show(SW_SHOWNORMAL); }
  HWND Control(int id) const { return ::GetDlgItem(window.handle(), id); }

  testing::RecordingMessageBox boxes;
  testing::FakeClock clock;
  Form1 window{boxes, clock, UserTextForms(), [](std::string_view) { return std::string(); }};
};

TEST(Form1Messages, OnlyTheUrlBoxTakesNoInputMethod) {
  const ShownWindow shown;
  for (const auto& [id, has_input_method] :
       {std::pair{control_ids::kText2, false}, std::pair{control_ids::kText1, true}}) {
    const HWND box = shown.Control(id);
    const HIMC context = ::ImmGetContext(box);
    EXPECT_EQ(context != nullptr, has_input_method) << id;
    if (context != nullptr) ::ImmReleaseContext(box, context);
  }
}

TEST(Form1Messages, ActivationGivesTheFocusBackOnlyWhenNotMinimized) {
  for (const bool minimized : {true, false}) {
    SCOPED_TRACE(minimized ? "minimized" : "restored");
    const ShownWindow shown;
    const HWND window = shown.window.handle();
    ASSERT_EQ(::GetFocus(), shown.Control(control_ids::kCommand1));
    ::SendMessageW(window, WM_ACTIVATE, WA_INACTIVE, 0);
    ::SetFocus(nullptr);
    ::SendMessageW(window, WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, minimized), 0);
    EXPECT_EQ(::GetFocus(), minimized ? nullptr : shown.Control(control_ids::kCommand1));
  }
}

TEST(Form1Messages, ADpiChangeTakesTheSuggestedRectangleAndIconsOfTheNewSize) {
  const ShownWindow shown;
  const HWND window = shown.window.handle();
  constexpr UINT kDpi = 192;
  RECT suggested{40, 30, 40 + 611, 30 + 333};
  ::SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(kDpi, kDpi),
                 reinterpret_cast<LPARAM>(&suggested));

  RECT frame{};
  ::GetWindowRect(window, &frame);
  EXPECT_EQ(frame.left, suggested.left);
  EXPECT_EQ(frame.top, suggested.top);
  EXPECT_EQ(frame.right, suggested.right);
  EXPECT_EQ(frame.bottom, suggested.bottom);

  RECT button{};
  ::GetClientRect(shown.Control(control_ids::kCommand1), &button);
  const auto wanted = form1_layout::ToPixels(
      form1_layout::kControls[form1_layout::IndexOf("Command1")].twips, kDpi);
  EXPECT_EQ(button.right, wanted.width);

  const Dpi dpi;
  for (const auto& [kind, metric] :
       {std::pair{ICON_SMALL, SM_CXSMICON}, std::pair{ICON_BIG, SM_CXICON}}) {
    ICONINFO icon{};
    ASSERT_TRUE(
        ::GetIconInfo(reinterpret_cast<HICON>(::SendMessageW(window, WM_GETICON, kind, 0)), &icon));
    BITMAP bitmap{};
    ::GetObjectW(icon.hbmColor, sizeof bitmap, &bitmap);
    ::DeleteObject(icon.hbmColor);
    ::DeleteObject(icon.hbmMask);
    EXPECT_EQ(bitmap.bmWidth, dpi.SystemMetric(metric, kDpi)) << kind;
  }
}

}  // namespace
}  // namespace horalux
