// Form1 on its monitor: its controls placed and its font sized for the monitor's DPI, its outer
// size, its icons at that scale, and its place in the middle of the monitor's work area.
#include "ui/win32/form1.h"

#include <algorithm>
#include <optional>
#include <string>
#include <utility>

#include "ui/layout/form1_layout.h"

namespace horalux {

void Form1::LayOut(UINT dpi) {
  dpi_ = dpi;
  // The system's message font, at this monitor's scale. Without a font of their own the
  // controls keep the one they have.
  UniqueFont font;
  if (const std::optional<LOGFONTW> message_font = dpi_functions_->MessageFont(dpi)) {
    font.reset(::CreateFontIndirectW(&*message_font));
  }
  if (font) {
    for (std::size_t i = 0; i < form1_layout::kControls.size(); ++i) {
      ::SendMessageW(Control(i), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), FALSE);
    }
    // The old font goes only once no control uses it any more.
    font_ = std::move(font);
  }

  // Labels measured as a static control draws its text: wrapped at word breaks, no prefixes.
  const HDC context = ::GetDC(handle());
  const HGDIOBJ old_font = font_ ? ::SelectObject(context, font_.get()) : nullptr;
  const auto places =
      form1_layout::Places(static_cast<int>(dpi), [&](std::size_t index, int width) {
        const std::wstring text = WindowText(Control(index));
        RECT needed{0, 0, width, 0};
        ::DrawTextW(context, text.c_str(), static_cast<int>(text.size()), &needed,
                    DT_CALCRECT | DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX);
        return static_cast<int>(needed.bottom);
      });
  if (old_font != nullptr) ::SelectObject(context, old_font);
  ::ReleaseDC(handle(), context);

  for (std::size_t i = 0; i < places.size(); ++i) {
    ::SetWindowPos(Control(i), nullptr, places[i].left, places[i].top, places[i].width,
                   places[i].height, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  ::InvalidateRect(handle(), nullptr, TRUE);
}

SIZE Form1::WindowSize(UINT dpi) const {
  const RECT client{
      0, 0, form1_layout::ToPixels(form1_layout::kClientWidthTwips, static_cast<int>(dpi)),
      form1_layout::ToPixels(form1_layout::kClientHeightTwips, static_cast<int>(dpi))};
  const RECT frame = dpi_functions_->WindowRectForClient(client, kWindowStyle, 0, dpi);
  return {frame.right - frame.left, frame.bottom - frame.top};
}

void Form1::SetIcons(UINT dpi) {
  // Sized for the monitor: the class's icons are for the system DPI only.
  const HINSTANCE instance = ::GetModuleHandleW(nullptr);
  // Not shared: a shared icon keeps the size it was first loaded at. The icon file holds the
  // sizes of 100 % to 250 %; LoadImageW scales the nearest for any other.
  const auto load = [&](int width_metric, int height_metric) {
    return UniqueIcon(
        static_cast<HICON>(::LoadImageW(instance, MAKEINTRESOURCEW(kProgramIconResource),
                                        IMAGE_ICON, dpi_functions_->SystemMetric(width_metric, dpi),
                                        dpi_functions_->SystemMetric(height_metric, dpi), 0)));
  };
  UniqueIcon small_icon = load(SM_CXSMICON, SM_CYSMICON);
  UniqueIcon big_icon = load(SM_CXICON, SM_CYICON);
  // The window keeps the icons it has where a size cannot be loaded; the old ones go only once
  // the window no longer shows them.
  if (small_icon) {
    ::SendMessageW(handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small_icon.get()));
    small_icon_ = std::move(small_icon);
  }
  if (big_icon) {
    ::SendMessageW(handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big_icon.get()));
    big_icon_ = std::move(big_icon);
  }
}

void Form1::PlaceOnMonitor(UINT dpi) {
  LayOut(dpi);
  SetIcons(dpi);
  // Centred on that monitor's work area.
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  ::GetMonitorInfoW(::MonitorFromWindow(handle(), MONITOR_DEFAULTTOPRIMARY), &monitor);
  const RECT& work = monitor.rcWork;
  const SIZE size = WindowSize(dpi);
  ::SetWindowPos(handle(), nullptr,
                 work.left + std::max(0L, (work.right - work.left - size.cx) / 2),
                 work.top + std::max(0L, (work.bottom - work.top - size.cy) / 2), size.cx, size.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace horalux
