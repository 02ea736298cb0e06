#include "ui/win32/windows_failure.h"

#include <windows.h>

#include <string>

#include "runtime/base/error.h"
#include "runtime/base/windows_text.h"

namespace horalux {

void ThrowWindowsFailure(std::string_view what) {
  const DWORD code = ::GetLastError();
  throw Error(ErrorKind::kSystem,
              std::string(what) + "（" + WindowsErrorNote(code) + "）。请重新启动程序。");
}

}  // namespace horalux
