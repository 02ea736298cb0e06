#include "testing/wine.h"

#include <windows.h>

namespace horalux::testing {

bool RunningUnderWine() {
  // Wine's ntdll has an export of its own that Windows' lacks.
  const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

}  // namespace horalux::testing
