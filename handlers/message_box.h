// Modal message boxes: a prompt, one "确定" button and the title "Horalux"; and the report of an
// error that escaped an event handler.
#pragma once

#include <string_view>

#include "runtime/base/error.h"

namespace horalux {

class MessageBoxService {
 public:
  virtual ~MessageBoxService() = default;

  // Returns when the user dismisses the box.
  virtual void Show(std::string_view prompt) = 0;
  // Names the kind of error and its cause; returns when the user dismisses it.
  virtual void ReportError(const Error& error) = 0;
};

}  // namespace horalux
