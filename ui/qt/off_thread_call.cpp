#include "ui/qt/off_thread_call.h"

#include <exception>
#include <mutex>
#include <utility>

#include <QEventLoop>

namespace horalux {

// Shared by the caller and the call's thread, so that either may be the last to let go of it.
struct OffThreadCall::Outcome {
  std::mutex mutex;
  bool call_started = false;
  bool ended = false;
  std::string result;
  std::exception_ptr error;
  // The loop to wake when the call ends, and what to run there when the call begins. Set and
  // cleared by the waiting thread under the mutex, so the call's thread posts to the loop only
  // while it exists; Qt drops what is posted to a loop that goes before handling it.
  QEventLoop* wake = nullptr;
  const std::function<void()>* call_started_handler = nullptr;
};

OffThreadCall::OffThreadCall(std::function<void()> prepare, std::function<std::string()> call)
    : outcome_(std::make_shared<Outcome>()) {
  thread_ = std::thread([outcome = outcome_, prepare = std::move(prepare), call = std::move(call)] {
    std::string result;
    std::exception_ptr error;
    try {
      if (prepare) prepare();
      {
        const std::lock_guard lock(outcome->mutex);
        outcome->call_started = true;
        if (outcome->wake != nullptr) {
          QMetaObject::invokeMethod(
              outcome->wake, [handler = outcome->call_started_handler] { (*handler)(); },
              Qt::QueuedConnection);
        }
      }
      result = call();
    } catch (...) {
      error = std::current_exception();
    }
    const std::lock_guard lock(outcome->mutex);
    outcome->result = std::move(result);
    outcome->error = error;
    outcome->ended = true;
    // Posting an event is safe from any thread; the loop quits when its own thread handles it.
    if (outcome->wake != nullptr) {
      QMetaObject::invokeMethod(outcome->wake, &QEventLoop::quit, Qt::QueuedConnection);
    }
  });
}

OffThreadCall::~OffThreadCall() {
  bool ended;
  {
    const std::lock_guard lock(outcome_->mutex);
    ended = outcome_->ended;
  }
  // An ended call's thread has only its own copies left to release: joining it takes no time.
  if (ended) {
    thread_.join();
  } else {
    thread_.detach();
  }
}

bool OffThreadCall::Wait(const std::function<void()>& call_started) {
  QEventLoop loop;
  bool ended;
  bool started_already;
  {
    const std::lock_guard lock(outcome_->mutex);
    ended = outcome_->ended;
    started_already = outcome_->call_started;
    if (!ended) {
      outcome_->wake = &loop;
      outcome_->call_started_handler = &call_started;
    }
  }
  if (!ended) {
    if (started_already) call_started();
    waiting_ = &loop;
    loop.exec();
    waiting_ = nullptr;
  }
  const std::lock_guard lock(outcome_->mutex);
  outcome_->wake = nullptr;
  outcome_->call_started_handler = nullptr;
  return outcome_->ended;
}

bool OffThreadCall::Ended() const {
  const std::lock_guard lock(outcome_->mutex);
  return outcome_->ended;
}

void OffThreadCall::StopWaiting() {
  if (waiting_ != nullptr) waiting_->quit();
}

std::string OffThreadCall::TakeResult() {
  std::exception_ptr error;
  {
    const std::lock_guard lock(outcome_->mutex);
    if (!outcome_->error) return std::move(outcome_->result);
    error = outcome_->error;
  }
  std::rethrow_exception(error);
}

}  // namespace horalux
