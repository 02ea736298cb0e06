// The window in memory for the handlers' tests: two texts, and whether a fetch runs while it shows
// that it is busy.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "handlers/form1_handlers.h"

namespace horalux::testing {

class FakeWindow : public Form1Window {
 public:
  std::string ReadText2() const override { return text2; }
  std::string ReadText1() const override { return text1; }
  void WriteText1(std::string_view text) override { text1 = text; }
  std::string RunBusy(const std::function<std::string()>& fetch) override {
    busy = true;
    struct Idle {
      bool& busy;
      ~Idle() { busy = false; }
    } idle{busy};
    return fetch();
  }

  std::string text2 = "http://time.example/";
  std::string text1;
  bool busy = false;
};

}  // namespace horalux::testing
