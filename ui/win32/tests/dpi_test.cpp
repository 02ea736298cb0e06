// The stand-ins for what Windows 7 lacks (per-monitor DPI, the message font and the frame for a
// DPI, system metrics for a DPI), with the newer functions reported missing: they must give what
// the newer functions give on a screen at the system DPI, as every screen is on Windows 7. Windows
// 8.1's per-monitor DPI alone gives the same.
#include "ui/win32/dpi.h"

#include <gtest/gtest.h>

namespace horalux {
namespace {

TEST(Dpi, WithoutTheNewerFunctionsTheSystemDpiStandsIn) {
  const PerMonitorDpiFunctions newer = PerMonitorDpiFunctions::OfThisWindows();
  ASSERT_NE(newer.get_dpi_for_window, nullptr) << "this Windows has no per-monitor DPI to compare";
  const Dpi current(newer);
  const Dpi windows7(PerMonitorDpiFunctions{});

  const HWND window = ::CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                                        nullptr, nullptr, nullptr, nullptr);
  ASSERT_NE(window, nullptr);
  const UINT system_dpi = current.ForWindow(window);
  EXPECT_EQ(windows7.ForWindow(window), system_dpi);
  ASSERT_NE(newer.get_dpi_for_monitor, nullptr);
  PerMonitorDpiFunctions only_windows81;
  only_windows81.get_dpi_for_monitor = newer.get_dpi_for_monitor;
  EXPECT_EQ(Dpi(only_windows81).ForWindow(window), system_dpi);

  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  const RECT client{0, 0, 289, 137};
  const RECT frame = current.WindowRectForClient(client, kStyle, 0, system_dpi);
  const RECT fallback_frame = windows7.WindowRectForClient(client, kStyle, 0, system_dpi);
  EXPECT_EQ(fallback_frame.right - fallback_frame.left, frame.right - frame.left);
  EXPECT_EQ(fallback_frame.bottom - fallback_frame.top, frame.bottom - frame.top);

  // The font and the metrics scale from the system DPI to any other.
  for (const UINT dpi : {system_dpi, system_dpi * 3 / 2, system_dpi * 2}) {
    SCOPED_TRACE(dpi);
    const auto font = current.MessageFont(dpi);
    const auto fallback_font = windows7.MessageFont(dpi);
    ASSERT_TRUE(font && fallback_font);
    EXPECT_EQ(fallback_font->lfHeight, font->lfHeight);
    EXPECT_STREQ(fallback_font->lfFaceName, font->lfFaceName);
    for (const int metric : {SM_CXSMICON, SM_CXICON}) {
      EXPECT_EQ(windows7.SystemMetric(metric, dpi), current.SystemMetric(metric, dpi)) << metric;
    }
  }
  ::DestroyWindow(window);
}

}  // namespace
}  // namespace horalux
