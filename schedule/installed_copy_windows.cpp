#include "schedule/installed_copy_windows.h"

#include <objbase.h>
#include <shlobj.h>
#include <windows.h>

#include <memory>
#include <string_view>

#include "runtime/base/error.h"
#include "runtime/base/windows_text.h"
#include "schedule/com_handles_windows.h"

namespace horalux {
namespace {

Error Win32Error(DWORD code, const std::string& what) {
  std::string detail = what;
  if (code == ERROR_SHARING_VIOLATION) detail += "：那里的 horalux.exe 正在运行，请稍后重试";
  return HresultError(HRESULT_FROM_WIN32(code), detail);
}

std::wstring OwnPath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length =
        ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) throw Win32Error(::GetLastError(), "无法得知本程序的位置");
    if (length < path.size()) {
      path.resize(length);
      return path;
    }
    path.resize(path.size() * 2);
  }
}

struct LibraryFreer {
  void operator()(HMODULE module) const noexcept { ::FreeLibrary(module); }
};
using Library = std::unique_ptr<std::remove_pointer_t<HMODULE>, LibraryFreer>;

struct CoTaskMemFreer {
  void operator()(wchar_t* text) const noexcept { ::CoTaskMemFree(text); }
};

// Program Files as the shell names it, from shell32.dll loaded now by its full path: the window
// program does not import it, which would load it and much else at every start.
std::wstring ProgramFilesFolder() {
  wchar_t system[MAX_PATH];
  const UINT length = ::GetSystemDirectoryW(system, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) {
    throw Win32Error(::GetLastError(), "无法得知 Windows 的系统文件夹");
  }
  const Library shell32(::LoadLibraryW((std::wstring(system) + L"\\shell32.dll").c_str()));
  if (!shell32) throw Win32Error(::GetLastError(), "无法载入 shell32.dll");
  using KnownFolderPath = HRESULT(WINAPI*)(REFKNOWNFOLDERID, DWORD, HANDLE, PWSTR*);
  const auto known_folder_path = reinterpret_cast<KnownFolderPath>(
      reinterpret_cast<void*>(::GetProcAddress(shell32.get(), "SHGetKnownFolderPath")));
  if (known_folder_path == nullptr) {
    throw Win32Error(::GetLastError(), "shell32.dll 中没有 SHGetKnownFolderPath");
  }
  PWSTR raw = nullptr;
  const HRESULT result = known_folder_path(FOLDERID_ProgramFiles, 0, nullptr, &raw);
  const std::unique_ptr<wchar_t, CoTaskMemFreer> folder(raw);
  if (FAILED(result) || !folder) {
    throw Win32Error(static_cast<DWORD>(result), "无法得知 Program Files 文件夹的位置");
  }
  return folder.get();
}

bool SameFile(const std::wstring& a, const std::wstring& b) {
  return ::CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(),
                                static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

}  // namespace

std::wstring InstallIntoProgramFiles() {
  const std::wstring folder = ProgramFilesFolder() + L"\\Horalux";
  const std::wstring installed = folder + L"\\horalux.exe";
  // The window program beside the one running, which may be its console companion horalux.com.
  const std::wstring own = OwnPath();
  const std::wstring own_folder = own.substr(0, own.find_last_of(L'\\') + 1);
  const std::wstring program = own_folder + L"horalux.exe";
  if (SameFile(program, installed)) return installed;
  if (::GetFileAttributesW(program.c_str()) == INVALID_FILE_ATTRIBUTES) {
    throw Win32Error(::GetLastError(), "找不到 " + WideToUtf8(program) +
                                           "：请把 horalux.exe 和 horalux.com 放在同一个文件夹中");
  }
  if (!::CreateDirectoryW(folder.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
    throw Win32Error(::GetLastError(), "无法建立文件夹 " + WideToUtf8(folder));
  }
  for (const wchar_t* name : {L"horalux.exe", L"horalux.com"}) {
    const std::wstring from = own_folder + name;
    // The console companion goes along where it is there, for the administrator's --status.
    if (name != std::wstring_view(L"horalux.exe") &&
        ::GetFileAttributesW(from.c_str()) == INVALID_FILE_ATTRIBUTES) {
      continue;
    }
    const std::wstring to = folder + L"\\" + name;
    if (!::CopyFileW(from.c_str(), to.c_str(), FALSE)) {
      throw Win32Error(::GetLastError(),
                       "无法把 " + WideToUtf8(from) + " 复制到 " + WideToUtf8(to));
    }
  }
  return installed;
}

}  // namespace horalux
