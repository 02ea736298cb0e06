// Where the lines of a windowless run go on Windows: the process's own standard output and error
// where it has them (a console program, or any program whose output a script redirects or pipes),
// else the console of the program that started it (cmd.exe or PowerShell), else nowhere, and the
// caller writes to the event log instead. Text is UTF-8; a console gets it through WriteConsoleW,
// so that Chinese shows in any code page, and a file or pipe gets the UTF-8 bytes.
#pragma once

#include <windows.h>

#include <string_view>

#include "runtime/base/windows_handles.h"

namespace horalux {

class RunOutput {
 public:
  // Takes the inherited standard handles, or attaches to the parent's console when there are
  // none (the window program, typed at a prompt). Never raises.
  RunOutput();

  // False when there is no standard output and no console: a scheduled task, say.
  bool HasOutput() const { return out_ != nullptr; }

  // Each line of `text` is written with a line break after it. Failed writes are dropped: there
  // is nowhere left to report them.
  void WriteOut(std::string_view text) const { Write(out_, text); }
  void WriteError(std::string_view text) const { Write(error_, text); }

 private:
  static void Write(HANDLE handle, std::string_view text);

  UniqueHandle console_;  // the parent's console, opened by us; the inherited handles are not ours
  HANDLE out_ = nullptr;
  HANDLE error_ = nullptr;
};

}  // namespace horalux
