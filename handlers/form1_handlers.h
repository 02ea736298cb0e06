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
#include "runtime/clock/clock.h"
#include "runtime/datetime/text_forms.h"

namespace horalux {

class StartedQuery;

// Fetches the web time of a URL as time text; raises horalux::Error when it cannot.
using WebTimeQuery = std::function<std::string(std::string_view url)>;

// Raised by a window's RunBusy when the user closed the window while it waited: the handler stops
// where it is, nothing is reported or set, and the front end ends the program.
class WindowClosed : public std::exception {
 public:
  const char* what() const noexcept override { return "the window was closed"; }
};

// Raised by a window's RunBusy when the user cancelled the wait (the small window that shows a
// long wait: its 取消 button, Esc, or closing it): the handler stops where it is, nothing is
// reported, written or set, and the window goes on.
class FetchCancelled : public std::exception {
 public:
  const char* what() const noexcept override { return "the wait was cancelled"; }
};

// What RunBusy runs. Both functions own everything they use: a window may run them on another
// thread and, when the user closes the window or cancels, leave them to end there on their own.
struct BusyFetch {
  // Run first, if set, and not a wait of the program's: the clock's password prompt, which the
  // system shows on its own.
  std::function<void()> prepare;
  // The wait for the web server, which the window makes known once it lasts over a second.
  std::function<std::string()> query;
  // What the wait is for, to show then: "正在从 <host> 获取时间……" (see WaitingText).
  std::string waiting_text;
};

// The window as its handlers see it. Texts are UTF-8.
class Form1Window {
 public:
  virtual ~Form1Window() = default;

  virtual std::string ReadText2() const = 0;  // the URL box
  virtual std::string ReadText1() const = 0;  // the time box
  virtual void WriteText1(std::string_view text) = 0;

  // Runs `fetch.prepare`, then `fetch.query`, while the window shows that it is busy (the busy
  // cursor, no input taken), and returns the query's result or passes on what either raises.
  // Once the query has run for a second without an answer, a small window of its own says
  // `fetch.waiting_text` with a moving progress bar and a 取消 button; never before, not even for
  // a moment. Raises FetchCancelled if the user cancels there, WindowClosed if the window is
  // closed meanwhile. Before the window has first appeared (at start), the small window is the
  // only one on the screen.
  virtual std::string RunBusy(const BusyFetch& fetch) = 0;
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
  void Form_Load(const StartedQuery* started = nullptr);
  // The set-clock command: the clock's authorization, then the web time into Text1, then the date
  // and the time of day from it.
  void Command1_Click();

  // Neither handler lets an error escape: it is reported and the window goes on.

 private:
  void LoadTime(const StartedQuery* started);
  void SetClock();
  // The web time of the URL in Text2, fetched while the window is busy; with
  // `authorize_clock_first`, the clock asks for the right to be set before the fetch.
  std::string GetWebTime(bool authorize_clock_first);
  template <typename Handler>
  void RunHandler(Handler handler);

  Form1Window& window_;
  MessageBoxService& message_box_;
  Clock& clock_;
  TextForms forms_;
  WebTimeQuery query_;
};

}  // namespace horalux
