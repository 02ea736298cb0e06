#include "ui/win32/dpi.h"

namespace horalux {
namespace {

// The DPI that every window of a process unaware of per-monitor scaling is drawn at.
UINT SystemDpi() {
  const HDC screen = ::GetDC(nullptr);
  const int dpi = screen != nullptr ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
  if (screen != nullptr) ::ReleaseDC(nullptr, screen);
  return dpi > 0 ? static_cast<UINT>(dpi) : USER_DEFAULT_SCREEN_DPI;
}

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  // GetProcAddress gives every function one type; the name's own is put back.
  return module != nullptr ? reinterpret_cast<Function>(
                                 reinterpret_cast<void (*)()>(::GetProcAddress(module, name)))
                           : nullptr;
}

}  // namespace

PerMonitorDpiFunctions PerMonitorDpiFunctions::OfThisWindows() {
  const HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  PerMonitorDpiFunctions functions;
  functions.get_dpi_for_window =
      Lookup<decltype(functions.get_dpi_for_window)>(user32, "GetDpiForWindow");
  functions.system_parameters_info_for_dpi =
      Lookup<decltype(functions.system_parameters_info_for_dpi)>(user32,
                                                                 "SystemParametersInfoForDpi");
  functions.adjust_window_rect_ex_for_dpi =
      Lookup<decltype(functions.adjust_window_rect_ex_for_dpi)>(user32, "AdjustWindowRectExForDpi");
  functions.get_system_metrics_for_dpi =
      Lookup<decltype(functions.get_system_metrics_for_dpi)>(user32, "GetSystemMetricsForDpi");
  // From System32 only. Windows 7 without KB2533623 refuses the flag, and has no shcore.dll.
  functions.shcore.reset(::LoadLibraryExW(L"shcore.dll", nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32),
                         [](HMODULE module) {
                           if (module != nullptr) ::FreeLibrary(module);
                         });
  functions.get_dpi_for_monitor =
      Lookup<decltype(functions.get_dpi_for_monitor)>(functions.shcore.get(), "GetDpiForMonitor");
  return functions;
}

Dpi::Dpi(PerMonitorDpiFunctions functions) : functions_(functions), system_dpi_(SystemDpi()) {}

UINT Dpi::ForWindow(HWND window) const {
  if (functions_.get_dpi_for_window != nullptr) {
    if (const UINT dpi = functions_.get_dpi_for_window(window); dpi != 0) return dpi;
  }
  if (functions_.get_dpi_for_monitor != nullptr) {
    UINT dpi_x = 0;
    UINT dpi_y = 0;
    if (SUCCEEDED(functions_.get_dpi_for_monitor(
            ::MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST), 0, &dpi_x, &dpi_y)) &&
        dpi_y != 0) {
      return dpi_y;
    }
  }
  return system_dpi_;
}

std::optional<LOGFONTW> Dpi::MessageFont(UINT dpi) const {
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof metrics;
  if (functions_.system_parameters_info_for_dpi != nullptr &&
      functions_.system_parameters_info_for_dpi(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics,
                                                0, dpi)) {
    return metrics.lfMessageFont;
  }
  if (!::SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)) {
    return std::nullopt;
  }
  LOGFONTW font = metrics.lfMessageFont;
  font.lfHeight = ::MulDiv(font.lfHeight, static_cast<int>(dpi), static_cast<int>(system_dpi_));
  font.lfWidth = ::MulDiv(font.lfWidth, static_cast<int>(dpi), static_cast<int>(system_dpi_));
  return font;
}

RECT Dpi::WindowRectForClient(const RECT& client, DWORD style, DWORD extended_style,
                              UINT dpi) const {
  RECT frame = client;
  if (functions_.adjust_window_rect_ex_for_dpi != nullptr &&
      functions_.adjust_window_rect_ex_for_dpi(&frame, style, FALSE, extended_style, dpi)) {
    return frame;
  }
  frame = client;
  ::AdjustWindowRectEx(&frame, style, FALSE, extended_style);
  return frame;
}

int Dpi::SystemMetric(int index, UINT dpi) const {
  if (functions_.get_system_metrics_for_dpi != nullptr) {
    return functions_.get_system_metrics_for_dpi(index, dpi);
  }
  return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(system_dpi_));
}

}  // namespace horalux
