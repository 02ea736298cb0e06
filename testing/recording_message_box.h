// A message box for tests: remembers every prompt and every error report instead of showing them.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "handlers/message_box.h"

namespace horalux::testing {

class RecordingMessageBox : public MessageBoxService {
 public:
  struct Shown {
    bool is_error;
    std::string text;  // the prompt, or the error's what()
    friend bool operator==(const Shown&, const Shown&) = default;
  };

  void Show(std::string_view prompt) override { shown_.push_back({false, std::string(prompt)}); }
  void ReportError(const Error& error) override { shown_.push_back({true, error.what()}); }

  const std::vector<Shown>& shown() const { return shown_; }

 private:
  std::vector<Shown> shown_;
};

}  // namespace horalux::testing
