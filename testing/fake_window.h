// The window in memory for the handlers' tests: two texts, whether a fetch runs while it shows
// that it is busy, what each wait was said to be for, and a user who cancels the next wait.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "handlers/form1_handlers.h"

namespace horalux::testing {

class FakeWindow : public Form1Window {
 public:
  std::string ReadText2() const override { return text2; }
  std::string ReadText1() const override { return text1; }
  void WriteText1(std::string_view text) override { text1 = text; }
  std::string RunBusy(const BusyFetch& fetch) override {
    busy = true;
    struct Idle {
      bool& busy;
      ~Idle() { busy = false; }
    } idle{busy};
    waiting_texts.push_back(fetch.waiting_text);
    if (fetch.prepare) fetch.prepare();
    // A cancelled wait's answer may still come; it is dropped.
    std::string answer = fetch.query();
    if (cancel_next_wait) {
      cancel_next_wait = false;
      throw FetchCancelled();
    }
    return answer;
  }

  std::string text2 = "http://time.example/";
  std::string text1;
  bool busy = false;
  std::vector<std::string> waiting_texts;
  bool cancel_next_wait = false;
};

}  // namespace horalux::testing
