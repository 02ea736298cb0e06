// Looks at the program's windows from outside, as a test needs to: run under Wine in the same
// prefix (and so on the same desktop) as horalux.exe, it prints what it finds as JSON.
//   window_probe windows       every visible top-level window with its controls
//   window_probe ping TITLE    sends WM_NULL to the window called TITLE, waiting at most 1 s:
//                              {"answered": true, "milliseconds": 3}
//   window_probe cover TITLE MS  covers that window with a black one for MS milliseconds, so that
//                              it has to draw itself again
//   window_probe layout DPI    where the window's description puts its controls at DPI: the client
//                              size, and each control's identifier, text and place (a label's
//                              height is the least it may have)
//   window_probe wait-exit TITLE MS  prints "ready" once it watches the process of that window,
//                              then {"ended": true} as soon as the process has ended (Wine takes
//                              longer to tidy up after it), or {"ended": false} after MS ms
// For each control: its identifier, class, text, place in its window's client area, whether it
// is enabled and has the focus; for a label, whether its text fits (wrapped as it draws it), and
// for any control the characters of its text that its font has no glyph for.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "ui/layout/form1_layout.h"
#include "ui/win32/control_ids.h"

namespace {

std::string Utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), utf8.data(), size,
                      nullptr, nullptr);
  return utf8;
}

std::string Json(const std::wstring& text) {
  std::string out = "\"";
  for (const char c : Utf8(text)) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// A top-level window's title, read without a message: a window that does not answer still has one.
std::wstring Title(HWND window) {
  wchar_t buffer[512];
  return std::wstring(buffer, static_cast<std::size_t>(GetWindowTextW(window, buffer, 512)));
}

// A message to a window of another process, given up after a second: a window that does not
// answer (one of Wine's own while it starts, say) must not hold the probe up.
LRESULT Ask(HWND window, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
  DWORD_PTR result = 0;
  SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, 1000, &result);
  return static_cast<LRESULT>(result);
}

std::wstring Text(HWND window) {
  wchar_t buffer[4096];
  const LRESULT length = Ask(window, WM_GETTEXT, 4096, reinterpret_cast<LPARAM>(buffer));
  return std::wstring(buffer, static_cast<std::size_t>(length));
}

std::wstring ClassName(HWND window) {
  wchar_t buffer[256];
  return std::wstring(buffer, static_cast<std::size_t>(GetClassNameW(window, buffer, 256)));
}

std::string Rect(const RECT& r) {
  return "[" + std::to_string(r.left) + ", " + std::to_string(r.top) + ", " +
         std::to_string(r.right - r.left) + ", " + std::to_string(r.bottom - r.top) + "]";
}

// The text's extent as a static control draws it, and the characters its font lacks.
void MeasureText(HWND control, const std::wstring& text, bool wraps, RECT& needed,
                 std::wstring& missing) {
  const HDC context = GetDC(control);
  const auto font = reinterpret_cast<HFONT>(Ask(control, WM_GETFONT));
  const HGDIOBJ old = SelectObject(context, font != nullptr ? font : GetStockObject(SYSTEM_FONT));
  RECT client{};
  GetClientRect(control, &client);
  needed = RECT{0, 0, client.right, 0};
  DrawTextW(context, text.c_str(), static_cast<int>(text.size()), &needed,
            DT_CALCRECT | DT_NOPREFIX | DT_EXPANDTABS | (wraps ? DT_WORDBREAK : DT_SINGLELINE));
  std::vector<WORD> glyphs(text.size());
  if (!text.empty()) {
    GetGlyphIndicesW(context, text.c_str(), static_cast<int>(text.size()), glyphs.data(),
                     GGI_MARK_NONEXISTING_GLYPHS);
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (glyphs[i] == 0xFFFF && text[i] != L'\n' && text[i] != L'\r') missing += text[i];
  }
  SelectObject(context, old);
  ReleaseDC(control, context);
}

struct Listing {
  std::string json;
  bool first = true;
};

BOOL CALLBACK ListControl(HWND control, LPARAM parameter) {
  auto& out = *reinterpret_cast<Listing*>(parameter);
  const HWND parent = GetAncestor(control, GA_PARENT);
  RECT place{};
  GetWindowRect(control, &place);
  MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&place), 2);
  GUITHREADINFO thread{};
  thread.cbSize = sizeof thread;
  GetGUIThreadInfo(GetWindowThreadProcessId(control, nullptr), &thread);
  const std::wstring text = Text(control);
  const std::wstring kind = ClassName(control);
  const bool is_label = lstrcmpiW(kind.c_str(), L"Static") == 0;
  RECT needed{};
  std::wstring missing;
  MeasureText(control, text, is_label, needed, missing);
  RECT client{};
  GetClientRect(control, &client);
  out.json +=
      std::string(out.first ? "" : ",") +
      "\n    {\"id\": " + std::to_string(GetDlgCtrlID(control)) + ", \"class\": " + Json(kind) +
      ", \"text\": " + Json(text) + ", \"rect\": " + Rect(place) +
      ", \"visible\": " + (IsWindowVisible(control) ? "true" : "false") +
      ", \"enabled\": " + (IsWindowEnabled(control) ? "true" : "false") +
      ", \"focused\": " + (thread.hwndFocus == control ? "true" : "false") + ", \"text_fits\": " +
      (needed.right <= client.right && needed.bottom <= client.bottom ? "true" : "false") +
      ", \"missing_glyphs\": " + Json(missing) + "}";
  out.first = false;
  return TRUE;
}

BOOL CALLBACK ListWindow(HWND window, LPARAM parameter) {
  if (!IsWindowVisible(window)) return TRUE;
  auto& out = *reinterpret_cast<std::string*>(parameter);
  RECT client{};
  GetClientRect(window, &client);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  // Wine keeps each top-level window's X11 window here, which tools outside Wine address.
  const auto x11 = reinterpret_cast<ULONG_PTR>(GetPropW(window, L"__wine_x11_whole_window"));
  Listing controls;
  EnumChildWindows(window, ListControl, reinterpret_cast<LPARAM>(&controls));
  out += std::string(out.size() > 1 ? "," : "") + "\n  {\"title\": " + Json(Title(window)) +
         ", \"class\": " + Json(ClassName(window)) + ", \"x11\": " + std::to_string(x11) +
         ", \"pid\": " + std::to_string(process) + ", \"client\": " + Rect(client) +
         ", \"controls\": [" + controls.json + "]}";
  return TRUE;
}

HWND FindVisible(const std::wstring& title) {
  struct Search {
    const std::wstring* title;
    HWND found;
  } search{&title, nullptr};
  EnumWindows(
      [](HWND window, LPARAM parameter) -> BOOL {
        auto& s = *reinterpret_cast<Search*>(parameter);
        if (IsWindowVisible(window) && Title(window) == *s.title) {
          s.found = window;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&search));
  return search.found;
}

int Ping(const std::wstring& title) {
  const HWND window = FindVisible(title);
  if (window == nullptr) {
    std::printf("{\"error\": \"no such window\"}\n");
    return 1;
  }
  DWORD_PTR result = 0;
  const auto start = std::chrono::steady_clock::now();
  const LRESULT answered = SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, 1000, &result);
  const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  std::printf("{\"answered\": %s, \"milliseconds\": %lld}\n", answered != 0 ? "true" : "false",
              static_cast<long long>(elapsed.count()));
  return 0;
}

int Cover(const std::wstring& title, int milliseconds) {
  const HWND window = FindVisible(title);
  if (window == nullptr) {
    std::printf("{\"error\": \"no such window\"}\n");
    return 1;
  }
  RECT place{};
  GetWindowRect(window, &place);
  const HWND cover =
      CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"Static", L"", WS_POPUP | SS_BLACKRECT,
                      place.left, place.top, place.right - place.left, place.bottom - place.top,
                      nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
  ShowWindow(cover, SW_SHOWNOACTIVATE);
  UpdateWindow(cover);
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < until) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  DestroyWindow(cover);
  std::printf("{\"covered\": true}\n");
  return 0;
}

int Layout(int dpi) {
  namespace layout = horalux::form1_layout;
  constexpr int kIds[] = {horalux::control_ids::kLabel1, horalux::control_ids::kText2,
                          horalux::control_ids::kLabel2, horalux::control_ids::kText1,
                          horalux::control_ids::kCommand1};
  std::string controls;
  for (std::size_t i = 0; i < layout::kControls.size(); ++i) {
    const layout::Control& control = layout::kControls[i];
    const layout::Rect place = layout::ToPixels(control.twips, dpi);
    controls +=
        std::string(i == 0 ? "" : ",") + "\n    {\"id\": " + std::to_string(kIds[i]) +
        ", \"text\": \"" + std::string(control.text) + "\", \"rect\": [" +
        std::to_string(place.left) + ", " + std::to_string(place.top) + ", " +
        std::to_string(place.width) + ", " + std::to_string(place.height) +
        "], \"label\": " + (control.kind == layout::ControlKind::kLabel ? "true" : "false") + "}";
  }
  std::printf("{\"client\": [%d, %d], \"controls\": [%s]}\n",
              layout::ToPixels(layout::kClientWidthTwips, dpi),
              layout::ToPixels(layout::kClientHeightTwips, dpi), controls.c_str());
  return 0;
}

int WaitExit(const std::wstring& title, int milliseconds) {
  const HWND window = FindVisible(title);
  DWORD process_id = 0;
  if (window != nullptr) GetWindowThreadProcessId(window, &process_id);
  const HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
  if (process == nullptr) {
    std::printf("{\"error\": \"no such window\"}\n");
    return 1;
  }
  std::printf("ready\n");
  std::fflush(stdout);
  const bool ended =
      WaitForSingleObject(process, static_cast<DWORD>(milliseconds)) == WAIT_OBJECT_0;
  std::printf("{\"ended\": %s}\n", ended ? "true" : "false");
  std::fflush(stdout);
  CloseHandle(process);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const std::wstring command = argc > 1 ? argv[1] : L"";
  if (command == L"windows") {
    std::string out = "[";
    EnumWindows(ListWindow, reinterpret_cast<LPARAM>(&out));
    std::printf("%s\n]\n", out.c_str());
    return 0;
  }
  if (command == L"ping" && argc == 3) return Ping(argv[2]);
  if (command == L"cover" && argc == 4) return Cover(argv[2], _wtoi(argv[3]));
  if (command == L"layout" && argc == 3) return Layout(_wtoi(argv[2]));
  if (command == L"wait-exit" && argc == 4) return WaitExit(argv[2], _wtoi(argv[3]));
  std::fprintf(stderr,
               "usage: window_probe windows | ping TITLE | cover TITLE MILLISECONDS | "
               "layout DPI | wait-exit TITLE MILLISECONDS\n");
  return 2;
}
