// The wait rules' clock: when the small window of a long wait shows, against a call held at each
// of its steps.
#include "handlers/wait_rules.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <string>

namespace horalux {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A call that marks what the user waits for when told to, and ends when told to.
struct HeldCall {
  HeldCall()
      : call([waiting = waiting.get_future().share(),
              end = end.get_future().share()](const CallProgress& progress) {
          waiting.wait();
          progress.Mark(CallStage::kWaiting);
          end.wait();
          return 0;
        }) {}
  ~HeldCall() {
    Release();
    call.WaitUntil(CallStage::kEnded, Clock::now() + 10s);
  }
  void MarkWaiting() {
    if (!waiting_marked) waiting.set_value();
    waiting_marked = true;
    call.WaitUntil(CallStage::kWaiting, Clock::now() + 10s);
  }
  void Release() {
    MarkWaiting();
    if (!ended) end.set_value();
    ended = true;
  }

  std::promise<void> waiting;
  std::promise<void> end;
  bool waiting_marked = false;
  bool ended = false;
  BackgroundCall<int> call;
};

TEST(LongWaitRuleTest, ShowsOnceASecondAfterTheWaitBeganAndNeverForAnEndedCallOrWithoutAText) {
  const Clock::time_point t0 = Clock::now();
  {
    // Before the wait begins (a password prompt, say) nothing is due, and the second counts
    // from the first look after it began.
    HeldCall held;
    LongWaitRule rule("正在从 time.example 获取时间……");
    EXPECT_FALSE(rule.Check(held.call, t0).show);
    EXPECT_FALSE(rule.Check(held.call, t0).look_again_at);
    held.MarkWaiting();
    const LongWaitRule::Step first = rule.Check(held.call, t0 + 5s);
    EXPECT_FALSE(first.show);
    EXPECT_EQ(first.look_again_at, t0 + 5s + kQuietWait);
    EXPECT_FALSE(rule.Check(held.call, t0 + 5s + kQuietWait - 1ms).show);
    EXPECT_TRUE(rule.Check(held.call, t0 + 5s + kQuietWait).show);
    const LongWaitRule::Step after = rule.Check(held.call, t0 + 10s);
    EXPECT_FALSE(after.show);
    EXPECT_FALSE(after.look_again_at);
  }
  {
    // An answer that has just come is not announced.
    HeldCall held;
    LongWaitRule rule("正在从 time.example 获取时间……");
    held.MarkWaiting();
    rule.Check(held.call, t0);
    held.Release();
    held.call.WaitUntil(CallStage::kEnded, Clock::now() + 10s);
    EXPECT_FALSE(rule.Check(held.call, t0 + 1h).show);
  }
  {
    // A clock call's wait has no text: the small window never shows.
    HeldCall held;
    LongWaitRule rule("");
    held.MarkWaiting();
    rule.Check(held.call, t0);
    const LongWaitRule::Step step = rule.Check(held.call, t0 + 1h);
    EXPECT_FALSE(step.show);
    EXPECT_FALSE(step.look_again_at);
  }
}

}  // namespace
}  // namespace horalux
