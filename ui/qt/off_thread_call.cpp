#include "ui/qt/off_thread_call.h"

#include <exception>
#include <mutex>
#include <utility>

#include <QEventLoop>

namespace horalux {

// Shared by the caller and the call's thread, so that either may be the last to let go of it.
struct OffThreadCall::Outcome {
  std::mutex mutex;
  bool ended = false;
  std::string result;
  std::exception_ptr error;
  // The loop to wake when the call ends. Set and cleared by the waiting thread under the mutex,
  // so the call's thread posts to it only while it exists.
  QEventLoop* wake = nullptr;
};

OffThreadCall::OffThreadCall(std::function<std::string()> call)
    : outcome_(std::make_shared<Outcome>()) {
  thread_ = std::thread([outcome = outcome_, call = std::move(call)] {
    std::string result;
    std::exception_ptr error;
    try {
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

bool OffThreadCall::Wait() {
  QEventLoop loop;
  bool ended;
  {
    const std::lock_guard lock(outcome_->mutex);
    ended = outcome_->ended;
    if (!ended) outcome_->wake = &loop;
  }
  if (!ended) {
    waiting_ = &loop;
    loop.exec();
    waiting_ = nullptr;
  }
  const std::lock_guard lock(outcome_->mutex);
  outcome_->wake = nullptr;
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
