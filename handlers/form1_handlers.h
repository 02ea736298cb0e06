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

// Fetches the web time of a URL as time text; raises horalux::Error when it cannot.
using WebTimeQuery = std::function<std::string(std::string_view url)>;

// Raised by a window's RunBusy when the user closed the window while it waited: the handler stops
// where it is, nothing is reported or set, and the front end ends the program.
class WindowClosed : public std::exception {
 public:
  const char* what() const noexcept override { return "the window was closed"; }
};

// The window as its handlers see it. Texts are UTF-8.
class Form1Window {
 public:
  virtual ~Form1Window() = default;

  virtual std::string ReadText2() const = 0;  // the URL box
  virtual std::string ReadText1() const = 0;  // the time box
  virtual void WriteText1(std::string_view text) = 0;

  // Runs `fetch` while the window shows that it is busy (the busy cursor, no input taken) and
  // returns its result or passes on what it raises; raises WindowClosed if the window is closed
  // meanwhile. `fetch` owns everything it uses, so it may be run on another thread and, when the
  // window is closed, be left to end there on its own.
  virtual std::string RunBusy(const std::function<std::string()>& fetch) = 0;
};

class Form1Handlers {
 public:
  // Everything passed in must outlive the handlers. `forms` must be the ones `query` writes its
  // time text in, so that the set-clock command can read that text back.
  Form1Handlers(Form1Window& window, MessageBoxService& message_box, Clock& clock, TextForms forms,
                WebTimeQuery query);

  // The load handler, run once before the window first appears: the web time in a message box.
  void Form_Load();
  // The set-clock command: the clock's authorization, then the web time into Text1, then the date
  // and the time of day from it.
  void Command1_Click();

  // Neither handler lets an error escape: it is reported and the window goes on.

 private:
  void LoadTime();
  void SetClock();
  // The web time of the URL in Text2, fetched while the window is busy; with
  // `authorize_clock_first`, the clock asks for the right to be set before the fetch.
  std::string GetWebTime(bool authorize_clock_first);
  void RunHandler(void (Form1Handlers::*handler)());

  Form1Window& window_;
  MessageBoxService& message_box_;
  Clock& clock_;
  TextForms forms_;
  WebTimeQuery query_;
};

}  // namespace horalux
