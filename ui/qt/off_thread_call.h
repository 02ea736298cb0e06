// A blocking call run on a thread of its own while the calling thread goes on handling its Qt
// events: a window that waits for a web server this way stays drawn and answers the desktop.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <thread>

class QEventLoop;

namespace horalux {

class OffThreadCall {
 public:
  // Starts `prepare` (if set), then `call`, on a new thread. Both must own everything they use: a
  // call that is left running (see Wait) outlives this object and whoever made it. What `prepare`
  // raises ends the call without running `call`.
  OffThreadCall(std::function<void()> prepare, std::function<std::string()> call);
  // Joins the thread of a call that has ended. One still running is left to end on its own; what
  // it returns or raises then is dropped.
  ~OffThreadCall();
  OffThreadCall(const OffThreadCall&) = delete;
  OffThreadCall& operator=(const OffThreadCall&) = delete;

  // Handles this thread's events until the call ends (true), or until StopWaiting is called or
  // the application quits (false): the call then goes on without anyone waiting for it.
  // `call_started` is run on this thread, during the wait, once `prepare` is over and `call` has
  // begun.
  bool Wait(const std::function<void()>& call_started);
  // Whether the call has ended, its answer perhaps not yet handled by the wait.
  bool Ended() const;
  // Ends a Wait in progress; for the event handlers it runs.
  void StopWaiting();
  // After a Wait that returned true: what the call returned, or raises what it raised.
  std::string TakeResult();

 private:
  struct Outcome;
  std::shared_ptr<Outcome> outcome_;
  std::thread thread_;
  QEventLoop* waiting_ = nullptr;
};

}  // namespace horalux
