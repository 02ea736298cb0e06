#include "runtime/base/windows_text.h"

#include <memory>
#include <string>

namespace horalux {
namespace {

struct LocalMemoryReleaser {
  void operator()(wchar_t* memory) const noexcept { ::LocalFree(memory); }
};

// Messages end with a line break, and a few span lines: the result is one line, to stand inside
// our own sentences.
std::string OneLine(std::string utf8) {
  for (char& c : utf8) {
    if (c == '\r' || c == '\n') c = ' ';
  }
  while (!utf8.empty() && utf8.back() == ' ') utf8.pop_back();
  return utf8;
}

}  // namespace

std::optional<std::wstring> Utf8ToWide(std::string_view utf8) {
  if (utf8.empty()) return std::wstring();
  const int size = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                         static_cast<int>(utf8.size()), nullptr, 0);
  if (size <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                        wide.data(), size);
  return wide;
}

std::wstring Utf8ToWideReplacing(std::string_view utf8) {
  if (utf8.empty()) return std::wstring();
  // Without MB_ERR_INVALID_CHARS, Windows (since Vista) puts U+FFFD for what is not UTF-8.
  const int size =
      ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  if (size <= 0) return std::wstring(1, L'\xFFFD');
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

std::string CodePageToUtf8(std::string_view text, UINT code_page) {
  if (text.empty()) return {};
  const int size =
      ::MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (size <= 0) return "\xEF\xBF\xBD";  // U+FFFD: the text was there, but could not be read
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  ::MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                        size);
  return OneLine(WideToUtf8(wide));
}

std::string WideToUtf8(std::wstring_view wide) {
  if (wide.empty()) return {};
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()),
                                         nullptr, 0, nullptr, nullptr);
  if (size <= 0) return {};
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size,
                        nullptr, nullptr);
  return utf8;
}

std::string WindowsErrorText(DWORD code, HMODULE module) {
  wchar_t* raw = nullptr;
  const DWORD source = module != nullptr ? FORMAT_MESSAGE_FROM_HMODULE : FORMAT_MESSAGE_FROM_SYSTEM;
  const DWORD length =
      ::FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | source | FORMAT_MESSAGE_IGNORE_INSERTS,
                       module, code, 0, reinterpret_cast<wchar_t*>(&raw), 0, nullptr);
  const std::unique_ptr<wchar_t, LocalMemoryReleaser> text(raw);
  if (length == 0) return {};
  std::string utf8 = OneLine(WideToUtf8(std::wstring_view(text.get(), length)));
  // It is quoted inside our own sentences, where its closing full stop would stand before a comma.
  for (const std::string_view stop : {std::string_view("。"), std::string_view(".")}) {
    if (utf8.ends_with(stop)) utf8.erase(utf8.size() - stop.size());
  }
  return utf8;
}

std::string WindowsErrorNote(DWORD code, HMODULE module) {
  std::string note = WindowsErrorText(code, module);
  if (!note.empty()) note += "，";
  return note + "错误代码 " + std::to_string(code);
}

}  // namespace horalux
