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
  // Starts `call` on a new thread. `call` must own everything it uses: a call that is left
  // running (see Wait) outlives this object and whoever made it.
  explicit OffThreadCall(std::function<std::string()> call);
  // Joins the thread of a call that has ended. One still running is left to end on its own; what
  // it returns or raises then is dropped.
  ~OffThreadCall();
  OffThreadCall(const OffThreadCall&) = delete;
  OffThreadCall& operator=(const OffThreadCall&) = delete;

  // Handles this thread's events until the call ends (true), or until StopWaiting is called or
  // the application quits (false): the call then goes on without anyone waiting for it.
  bool Wait();
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
