// What the window does at start and on a press of its set-clock button, written once for every
// front end: the front end owns the controls and passes its two events on; the handlers read and
// write the controls through Form1Window and reach the user and the computer's clock through the
// message-box and clock services.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>

#include "handlers/message_box.h"
#include "handlers/wait_rules.h"
#include "runtime/background/background_call.h"
#include "runtime/clock/clock.h"
#include "runtime/datetime/text_forms.h"

namespace horalux {

class StartedQuery;

// Fetches the web time of a URL as time text; raises horalux::Error when it cannot.
using WebTimeQuery = std::function<std::string(std::string_view url)>;

// Raised inside a handler when the user closed the window while it waited (WaitEnd): the handler
// stops where it is, nothing is reported or set, and the front end ends the program.
class WindowClosed : public std::exception {
 public:
  const char* what() const noexcept override { return "the window was closed"; }
};

// Raised inside a handler when the user cancelled the wait (the small window that shows a long
// wait: its 取消 button, Esc, or closing it): the handler stops where it is, nothing is reported,
// written or set, and the window goes on.
class FetchCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "the wait was cancelled"; }
};

// The window as its handlers see it. Texts are UTF-8.
class Form1Window {
 public:
  virtual ~Form1Window() = default;

  virtual std::string ReadText2() const = 0;  // the URL box
  virtual std::string ReadText1() const = 0;  // the time box
  virtual void WriteText1(std::string_view text) = 0;

  // Delivers the window's events while `call` runs, the window showing that it is busy (the
  // busy cursor, no input taken, but drawn, and it can be closed), until the call has ended, the
  // user has cancelled in the small window, or the window was closed (see WaitEnd). The small
  // window says `rule.waiting_text()` with a moving progress bar and a 取消 button when `rule`
  // says so; before the window has first appeared (at start), it is the only one on the screen.
  virtual WaitEnd AwaitCall(BackgroundTask& call, LongWaitRule& rule) = 0;
};

class Form1Handlers {
 public:
  // Everything passed in must outlive the handlers. `forms` must be the ones `query` writes its
  // time text in, so that the set-clock command can read that text back.
  Form1Handlers(Form1Window& window, MessageBoxService& message_box, Clock& clock, TextForms forms,
                WebTimeQuery query);

  // The load handler, run once before the window first appears: the web time in a message box.
  // The time comes from `started` when it is the query of the URL in Text2, which the program
  // started before its window (see StartedQuery); else it is fetched now.
  void Form_Load(StartedQuery* started = nullptr);
  // The set-clock command: the clock's authorization, then the web time into Text1, then the date
  // and the time of day from it. The fetch and the clock's calls run as background calls, so that
  // the window stays drawn and can be closed meanwhile; Text1 is read and written here only.
  void Command1_Click();

  // Neither handler lets an error escape: it is reported and the window goes on.

 private:
  void LoadTime(StartedQuery* started);
  void SetClock();
  // The web time of the URL in Text2, fetched while the window is busy; with
  // `authorize_clock_first`, the clock asks for the right to be set before the fetch.
  std::string GetWebTime(bool authorize_clock_first);
  // One call of the clock's, `set(clock)`, while the window is busy.
  void CallClock(std::function<void(Clock&)> set);
  // The wait for `call` and what its end means: its result, or the handler stops
  // (FetchCancelled, WindowClosed) and the call is left to end on its own.
  template <typename Result>
  Result Await(BackgroundCall<Result>& call, std::string_view waiting_text);
  template <typename Handler>
  void RunHandler(Handler handler);

  Form1Window& window_;
  MessageBoxService& message_box_;
  Clock& clock_;
  TextForms forms_;
  WebTimeQuery query_;
};

}  // namespace horalux
