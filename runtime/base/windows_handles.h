// Windows only: the program's owners of the system's handles, each released by its own function
// when its owner goes: kernel objects (CloseHandle), registry keys (RegCloseKey), fonts
// (DeleteObject) and icons (DestroyIcon). WinHTTP's and the certificate store's live beside
// their calls in webtime/.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace horalux {

struct HandleCloser {
  void operator()(HANDLE handle) const noexcept { ::CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<std::remove_pointer_t<HANDLE>, HandleCloser>;

struct KeyCloser {
  void operator()(HKEY key) const noexcept { ::RegCloseKey(key); }
};
using UniqueKey = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

struct FontDeleter {
  void operator()(HFONT font) const noexcept { ::DeleteObject(font); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, FontDeleter>;

struct IconDeleter {
  void operator()(HICON icon) const noexcept { ::DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

}  // namespace horalux
