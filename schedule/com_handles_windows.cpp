#include "schedule/com_handles_windows.h"

#include <cstdio>

#include "runtime/base/windows_text.h"

namespace horalux {

Error HresultError(HRESULT result, std::string_view what) {
  char code[16];
  std::snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(result));
  std::string text = WindowsErrorText(static_cast<DWORD>(result));
  std::string detail = std::string(what) + "（" + (text.empty() ? "" : text + "，") + code + "）";
  if (result == E_ACCESSDENIED)
    detail += "。请以管理员身份运行（右键单击命令提示符，选择“以管理员身份运行”）";
  return Error(ErrorKind::kSystem, detail);
}

ComApartment::ComApartment() {
  const HRESULT result = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  // S_FALSE: already initialized on this thread, which still asks for one CoUninitialize.
  if (FAILED(result) && result != RPC_E_CHANGED_MODE) throw HresultError(result, "无法初始化 COM");
  initialized_ = SUCCEEDED(result);
  if (initialized_) {
    const HRESULT security =
        ::CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_PKT_PRIVACY,
                               RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, 0, nullptr);
    if (FAILED(security) && security != RPC_E_TOO_LATE) {
      ::CoUninitialize();
      throw HresultError(security, "无法设置 COM 的安全选项");
    }
  }
}

ComApartment::~ComApartment() {
  if (initialized_) ::CoUninitialize();
}

Bstr::Bstr(std::wstring_view text)
    : text_(text.empty() && text.data() == nullptr
                ? nullptr
                : ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()))) {
  if (text.data() != nullptr && text_ == nullptr)
    throw HresultError(E_OUTOFMEMORY, "无法分配字符串");
}

}  // namespace horalux
