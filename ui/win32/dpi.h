// The window's scale on every Windows from 7 on. Per-monitor DPI, and what is sized for it, came
// with Windows 8.1 (GetDpiForMonitor in shcore.dll) and 10 version 1607 (GetDpiForWindow,
// SystemParametersInfoForDpi, AdjustWindowRectExForDpi, GetSystemMetricsForDpi): they are looked
// up once, and where this Windows lacks one, the system DPI that Windows 7 has stands in for it.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <type_traits>

namespace horalux {

// The newer functions, each null where this Windows lacks it.
struct PerMonitorDpiFunctions {
  UINT(WINAPI* get_dpi_for_window)(HWND) = nullptr;
  // Windows 8.1's; its second argument 0 asks for the effective DPI.
  HRESULT(WINAPI* get_dpi_for_monitor)(HMONITOR, int, UINT*, UINT*) = nullptr;
  BOOL(WINAPI* system_parameters_info_for_dpi)(UINT, UINT, PVOID, UINT, UINT) = nullptr;
  BOOL(WINAPI* adjust_window_rect_ex_for_dpi)(LPRECT, DWORD, BOOL, DWORD, UINT) = nullptr;
  int(WINAPI* get_system_metrics_for_dpi)(int, UINT) = nullptr;

  // Those that this Windows has.
  static PerMonitorDpiFunctions OfThisWindows();

  // Keeps shcore.dll loaded while its function may be called.
  std::shared_ptr<std::remove_pointer_t<HMODULE>> shcore;
};

class Dpi {
 public:
  // Tests pass a set with some functions missing, as an older Windows would.
  explicit Dpi(PerMonitorDpiFunctions functions = PerMonitorDpiFunctions::OfThisWindows());

  // The DPI of the monitor the window is on; without per-monitor DPI, the system's.
  UINT ForWindow(HWND window) const;
  // The system's message font at `dpi`; without a per-DPI query, the system's scaled from the
  // system DPI. Nothing when the system will not tell.
  std::optional<LOGFONTW> MessageFont(UINT dpi) const;
  // The window rectangle for a client rectangle, with the frame sized for `dpi` where Windows can.
  RECT WindowRectForClient(const RECT& client, DWORD style, DWORD extended_style, UINT dpi) const;
  // A system metric (SM_CXICON, say) at `dpi`; without a per-DPI query, scaled from the system
  // DPI.
  int SystemMetric(int index, UINT dpi) const;

 private:
  PerMonitorDpiFunctions functions_;
  UINT system_dpi_;
};

}  // namespace horalux
