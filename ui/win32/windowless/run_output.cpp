#include "ui/win32/windowless/run_output.h"

#include <string>

#include "runtime/base/windows_text.h"

namespace horalux {

namespace {

// A handle the process was given and can write to: a console, a file or a pipe.
HANDLE UsableStandardHandle(DWORD which) {
  const HANDLE handle = ::GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return nullptr;
  // FILE_TYPE_UNKNOWN is also the answer for a handle of no known type, which NO_ERROR tells.
  ::SetLastError(NO_ERROR);
  return ::GetFileType(handle) == FILE_TYPE_UNKNOWN && ::GetLastError() != NO_ERROR ? nullptr
                                                                                    : handle;
}

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return ::GetConsoleMode(handle, &mode) != FALSE;
}

}  // namespace

RunOutput::RunOutput()
    : out_(UsableStandardHandle(STD_OUTPUT_HANDLE)),
      error_(UsableStandardHandle(STD_ERROR_HANDLE)) {
  if (out_ != nullptr) return;
  // A window program typed at a prompt has no handles of its own, but may write to the prompt's
  // console (which does not wait for it: the console program, horalux.com, is the one to type).
  if (!::AttachConsole(ATTACH_PARENT_PROCESS)) return;
  const HANDLE console = ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
  if (console == INVALID_HANDLE_VALUE) return;
  console_.reset(console);
  out_ = console_.get();
  if (error_ == nullptr) error_ = out_;
}

void RunOutput::Write(HANDLE handle, std::string_view text) {
  if (handle == nullptr || text.empty()) return;
  // Windows' line breaks, which every reader of a file or pipe takes.
  std::string lines;
  for (const char c : text) {
    if (c == '\n') lines += '\r';
    lines += c;
  }
  if (lines.back() != '\n') lines += "\r\n";
  if (IsConsole(handle)) {
    const std::wstring wide = Utf8ToWideReplacing(lines);
    DWORD written = 0;
    ::WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  for (std::size_t start = 0; start < lines.size();) {
    DWORD written = 0;
    if (!::WriteFile(handle, lines.data() + start, static_cast<DWORD>(lines.size() - start),
                     &written, nullptr) ||
        written == 0) {
      return;
    }
    start += written;
  }
}

}  // namespace horalux
