// The message boxes of the Windows front end: MessageBoxW with one button and the title
// "Horalux", owned by the window once it is on screen, so that it takes no input meanwhile.
#pragma once

#include <string>
#include <string_view>

#include <windows.h>

#include "handlers/message_box.h"

namespace horalux {

class Win32MessageBox : public MessageBoxService {
 public:
  // Boxes shown before this have no owner: the start-up box comes before the window.
  void SetOwner(HWND owner) { owner_ = owner; }

  void Show(std::string_view prompt) override;
  void ReportError(const Error& error) override;

 private:
  HWND owner_ = nullptr;
};

// The text of an error report: the kind's name, then on the next line the cause and what to do.
std::wstring ErrorReportText(const Error& error);

}  // namespace horalux
