// The background call: what its caller sees of a job that ends, raises, outlasts its deadline or
// is left behind, and the notices of its steps.
#include "runtime/background/background_call.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <stdexcept>
#include <string>

namespace horalux {
namespace {

using namespace std::chrono_literals;

std::chrono::steady_clock::time_point In(std::chrono::milliseconds delay) {
  return std::chrono::steady_clock::now() + delay;
}

TEST(BackgroundCallTest, GivesWhatTheJobReturnedOrRaised) {
  BackgroundCall<std::string> answered([](const CallProgress&) { return std::string("16:49"); });
  ASSERT_TRUE(answered.WaitUntil(CallStage::kEnded, In(10s)));
  EXPECT_EQ(answered.Take(), "16:49");
  EXPECT_THROW(answered.Take(), std::logic_error);

  BackgroundCall<std::string> failed(
      [](const CallProgress&) -> std::string { throw std::runtime_error("no answer"); });
  ASSERT_TRUE(failed.WaitUntil(CallStage::kEnded, In(10s)));
  EXPECT_THROW(failed.Take(), std::runtime_error);
}

// A job that outlasts its caller's deadline is cancelled and left: the caller goes at once, and
// what the job does later lands in memory of its own.
TEST(BackgroundCallTest, AJobLeftAtItsDeadlineEndsOnItsOwnAndItsResultIsDropped) {
  auto release = std::make_shared<std::promise<void>>();
  auto ended = std::make_shared<std::promise<void>>();
  std::atomic<int> cancelled = 0;
  {
    BackgroundCall<std::string> call(
        [gate = release->get_future().share(), ended](const CallProgress& progress) {
          progress.Mark(CallStage::kWaiting);
          gate.wait();
          // Whatever the job started may still mark its steps after its caller has gone.
          progress.Mark(CallStage::kSending);
          ended->set_value();
          return std::string(1000, 'x');
        },
        [&cancelled] { ++cancelled; });
    EXPECT_TRUE(call.WaitUntil(CallStage::kWaiting, In(10s)));
    EXPECT_FALSE(call.WaitUntil(CallStage::kEnded, In(50ms)));
    EXPECT_THROW(call.Take(), std::logic_error);
    call.Cancel();
    call.Cancel();
  }
  EXPECT_EQ(cancelled, 1);
  release->set_value();
  EXPECT_EQ(ended->get_future().wait_for(10s), std::future_status::ready);
}

// The notice wakes an event loop at each step, from the job's thread, and never after it has
// been cleared.
TEST(BackgroundCallTest, NoticesEachStepUntilTheNoticeIsCleared) {
  std::promise<void> go;
  std::shared_future<void> gate = go.get_future().share();
  std::promise<void> second_gate_promise;
  std::shared_future<void> second_gate = second_gate_promise.get_future().share();
  BackgroundCall<int> call([gate, second_gate](const CallProgress& progress) {
    gate.wait();
    progress.Mark(CallStage::kWaiting);
    progress.Mark(CallStage::kWaiting);  // a step marked twice is noticed once
    progress.Mark(CallStage::kSending);
    second_gate.wait();
    return 7;
  });
  std::atomic<int> notices = 0;
  call.SetNotice([&notices] { ++notices; });
  go.set_value();
  ASSERT_TRUE(call.WaitUntil(CallStage::kSending, In(10s)));
  call.SetNotice(nullptr);
  second_gate_promise.set_value();
  ASSERT_TRUE(call.WaitUntil(CallStage::kEnded, In(10s)));
  EXPECT_EQ(call.Take(), 7);
  EXPECT_EQ(notices, 2);
}

}  // namespace
}  // namespace horalux
