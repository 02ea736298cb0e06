#include "runtime/background/background_call.h"

#include <string>
#include <system_error>

#include "runtime/base/error.h"
#include "runtime/base/system_text.h"

namespace horalux::background_detail {

void Core::Mark(CallStage stage) {
  const std::lock_guard lock(mutex_);
  if (stage <= stage_ || stage_ == CallStage::kEnded) return;
  stage_ = stage;
  changed_.notify_all();
  if (notice_) notice_();
}

void Core::End(const std::function<void()>& store, std::exception_ptr failure) {
  const std::lock_guard lock(mutex_);
  store();
  failure_ = std::move(failure);
  stage_ = CallStage::kEnded;
  changed_.notify_all();
  if (notice_) notice_();
}

bool Core::Reached(CallStage stage) const {
  const std::lock_guard lock(mutex_);
  return stage_ >= stage;
}

bool Core::WaitUntil(CallStage stage, std::chrono::steady_clock::time_point deadline) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_until(lock, deadline, [&] { return stage_ >= stage; });
}

void Core::SetNotice(std::function<void()> notice) {
  // Replaced under the lock, which the job's thread holds while it runs a notice: the old one is
  // done with once this returns.
  const std::lock_guard lock(mutex_);
  notice_ = std::move(notice);
  if (notice_ && stage_ > CallStage::kStarted) notice_();
}

std::exception_ptr Core::failure() const {
  const std::lock_guard lock(mutex_);
  return failure_;
}

std::thread StartThread(std::function<void()> body) {
  try {
    return std::thread(std::move(body));
  } catch (const std::system_error& failure) {
    throw Error(ErrorKind::kSystem, "无法启动新的线程（" + SystemTextToUtf8(failure.what()) +
                                        "）。请关闭一些程序后重试。");
  }
}

}  // namespace horalux::background_detail
