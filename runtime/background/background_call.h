// A job run on a thread of its own while its caller goes on: the caller waits for it with a
// deadline, or has its own event loop woken at each of the job's steps (SetNotice); it can cancel
// the job or leave it running, and a result that comes when nobody waits any more is dropped
// without touching anything of the caller's. Every wait of the program for a web server or for
// the clock goes through it; a front end adds only "deliver my events until woken".
#pragma once

#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <thread>
#include <utility>

namespace horalux {

// The steps a job marks as it goes, for whoever waits. Marks only ever move forward.
enum class CallStage {
  kStarted,  // on its thread, before anything the user waits for (a password prompt, say)
  kWaiting,  // what the user waits for has begun (the request, a clock call)
  kSending,  // the request's first byte is about to go out
  kEnded,    // returned or raised: the result can be taken
};

namespace background_detail {

// Shared by the caller and the job's thread.
class Core {
 public:
  void Mark(CallStage stage);
  // The job's end: its result stored by `store`, or what it raised.
  void End(const std::function<void()>& store, std::exception_ptr failure);
  bool Reached(CallStage stage) const;
  bool WaitUntil(CallStage stage, std::chrono::steady_clock::time_point deadline) const;
  void SetNotice(std::function<void()> notice);
  // After the end: what the job raised, if anything.
  std::exception_ptr failure() const;

 private:
  mutable std::mutex mutex_;  // guards everything below
  mutable std::condition_variable changed_;
  CallStage stage_ = CallStage::kStarted;
  std::exception_ptr failure_;
  std::function<void()> notice_;
};

// Starts `body` on a new thread; raises horalux::Error (ErrorKind::kSystem) when the system gives
// no thread.
std::thread StartThread(std::function<void()> body);

}  // namespace background_detail

// What the job is given to mark its steps with; copies may be kept by whatever the job starts
// (a request's notice of sending, say), even beyond the job's end.
class CallProgress {
 public:
  explicit CallProgress(std::shared_ptr<background_detail::Core> core) : core_(std::move(core)) {}
  void Mark(CallStage stage) const { core_->Mark(stage); }

 private:
  std::shared_ptr<background_detail::Core> core_;
};

// What a waiter sees of a background call, whatever the job returns.
class BackgroundTask {
 public:
  bool Reached(CallStage stage) const { return core_->Reached(stage); }
  bool Ended() const { return Reached(CallStage::kEnded); }

  // Blocks until the job has reached `stage` or ended, or `deadline` has come; true unless the
  // deadline came first.
  bool WaitUntil(CallStage stage, std::chrono::steady_clock::time_point deadline) const {
    return core_->WaitUntil(stage, deadline);
  }

  // `notice` is run on the job's thread at each of its steps, until replaced or cleared (null);
  // once SetNotice returns, the one it replaced is never run again. It must be quick and must not
  // call this object (it sets an event, or posts to an event loop). Run at once if the job has
  // gone past its start.
  void SetNotice(std::function<void()> notice) { core_->SetNotice(std::move(notice)); }

  // Stops the job early where it can, and leaves it to end on its own: its result is dropped.
  void Cancel() {
    core_->SetNotice(nullptr);
    if (cancel_) std::exchange(cancel_, nullptr)();
  }

 protected:
  BackgroundTask(std::shared_ptr<background_detail::Core> core, std::function<void()> cancel)
      : core_(std::move(core)), cancel_(std::move(cancel)) {}
  ~BackgroundTask() = default;

  std::shared_ptr<background_detail::Core> core_;
  std::function<void()> cancel_;
};

template <typename Result>
class BackgroundCall : public BackgroundTask {
 public:
  using Job = std::function<Result(const CallProgress&)>;

  // Starts `job` on a thread of its own. `job` must hold copies of everything it uses: it may be
  // left running after this object and its caller have gone. `cancel`, if set, is what stops the
  // job early (closing its request, say); it is run on the caller's thread by Cancel.
  explicit BackgroundCall(Job job, std::function<void()> cancel = {})
      : BackgroundCall(std::make_shared<Outcome>(), std::move(job), std::move(cancel)) {}
  // Joins the thread of a job that has ended; one still running is left to end on its own, and
  // what it returns or raises then is dropped.
  ~BackgroundCall() {
    core_->SetNotice(nullptr);
    if (Ended()) {
      thread_.join();
    } else {
      thread_.detach();
    }
  }
  BackgroundCall(const BackgroundCall&) = delete;
  BackgroundCall& operator=(const BackgroundCall&) = delete;

  // After the job has ended: what it returned, or raises what it raised. Once only.
  Result Take() {
    if (!Ended()) throw std::logic_error("BackgroundCall::Take before the job ended");
    if (const std::exception_ptr failure = core_->failure()) std::rethrow_exception(failure);
    if (!outcome_->result) throw std::logic_error("BackgroundCall::Take twice");
    return *std::exchange(outcome_->result, std::nullopt);
  }

 private:
  struct Outcome {
    background_detail::Core core;
    std::optional<Result> result;  // written once, before the end is marked
  };

  BackgroundCall(std::shared_ptr<Outcome> outcome, Job job, std::function<void()> cancel)
      : BackgroundTask(std::shared_ptr<background_detail::Core>(outcome, &outcome->core),
                       std::move(cancel)),
        outcome_(outcome) {
    thread_ = background_detail::StartThread([outcome = std::move(outcome), job = std::move(job)] {
      const CallProgress progress(
          std::shared_ptr<background_detail::Core>(outcome, &outcome->core));
      std::optional<Result> result;
      std::exception_ptr failure;
      try {
        result.emplace(job(progress));
      } catch (...) {
        failure = std::current_exception();
      }
      outcome->core.End([&] { outcome->result = std::move(result); }, failure);
    });
  }

  std::shared_ptr<Outcome> outcome_;
  std::thread thread_;
};

}  // namespace horalux
