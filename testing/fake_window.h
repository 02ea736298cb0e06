// The window in memory for the handlers' tests: two texts, whether a call runs while it shows
// that it is busy, what each wait for a web server was said to be for, and a user who cancels the
// next such wait.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "handlers/form1_handlers.h"

namespace horalux::testing {

class FakeWindow : public Form1Window {
 public:
  std::string ReadText2() const override { return text2; }
  std::string ReadText1() const override { return text1; }
  void WriteText1(std::string_view text) override { text1 = text; }
  WaitEnd AwaitCall(BackgroundTask& call, LongWaitRule& rule) override {
    busy = true;
    struct Idle {
      std::atomic<bool>& busy;
      ~Idle() { busy = false; }
    } idle{busy};
    if (!rule.waiting_text().empty()) waiting_texts.push_back(rule.waiting_text());
    // A cancelled wait's answer may still come; it is dropped.
    call.WaitUntil(CallStage::kEnded, std::chrono::steady_clock::time_point::max());
    if (cancel_next_wait && !rule.waiting_text().empty()) {
      cancel_next_wait = false;
      return WaitEnd::kCancelled;
    }
    return WaitEnd::kCallEnded;
  }

  std::string text2 = "http://time.example/";
  std::string text1;
  // Whether the window shows that it is busy before `longest` has passed: a call's job starts
  // before the wait for it, so a job that asks may come first.
  bool BecomesBusyWithin(std::chrono::milliseconds longest) const {
    const auto deadline = std::chrono::steady_clock::now() + longest;
    while (!busy && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return busy;
  }

  std::atomic<bool> busy = false;  // read by the calls' threads too
  std::vector<std::string> waiting_texts;
  bool cancel_next_wait = false;
};

}  // namespace horalux::testing
