#include "handlers/form1_handlers.h"

#include <exception>
#include <string>
#include <utility>

#include "handlers/started_query.h"
#include "handlers/texts.h"
#include "handlers/waiting_text.h"
#include "runtime/base/error.h"
#include "runtime/base/system_text.h"
#include "runtime/datetime/pattern_format.h"

namespace horalux {

Form1Handlers::Form1Handlers(Form1Window& window, MessageBoxService& message_box, Clock& clock,
                             TextForms forms, WebTimeQuery query)
    : window_(window),
      message_box_(message_box),
      clock_(clock),
      forms_(std::move(forms)),
      query_(std::move(query)) {}

void Form1Handlers::Form_Load(const StartedQuery* started) {
  RunHandler([this, started] { LoadTime(started); });
}

void Form1Handlers::Command1_Click() {
  RunHandler([this] { SetClock(); });
}

void Form1Handlers::LoadTime(const StartedQuery* started) {
  // Shown only: the time box stays empty until the set-clock command fills it.
  const std::string url = window_.ReadText2();
  if (started == nullptr || started->url() != url) {
    message_box_.Show(GetWebTime(false));
    return;
  }
  // An answer that is in is shown at once. One still out is waited for like any other, and the
  // wait may be cancelled.
  if (started->Ended()) {
    message_box_.Show(started->answer().get());
    return;
  }
  message_box_.Show(window_.RunBusy(
      {{}, [answer = started->answer()] { return answer.get(); }, WaitingText(url)}));
}

void Form1Handlers::SetClock() {
  // Every value goes through the time box, read afresh each time: what the box holds is what
  // the clock is set to.
  window_.WriteText1(GetWebTime(true));
  if (!IsDateTime(window_.ReadText1(), forms_)) {
    message_box_.Show(texts::kNotATime);
    return;
  }
  SetLocalDateFromText(clock_,
                       FormatPattern(ParseDateTime(window_.ReadText1(), forms_), "yyyy-mm-dd"));
  SetLocalTimeFromText(clock_,
                       FormatPattern(ParseDateTime(window_.ReadText1(), forms_), "hh:mm:ss"));
  message_box_.Show(texts::kClockSet);
}

std::string Form1Handlers::GetWebTime(bool authorize_clock_first) {
  // The fetch holds copies of what it uses: a window may run it on another thread and leave it
  // running there, after this handler has gone, when the user closes the window meanwhile. The
  // clock is the program's and outlives every window.
  const std::string url = window_.ReadText2();
  BusyFetch fetch{{}, [query = query_, url] { return query(url); }, WaitingText(url)};
  // A password prompt for the clock comes first, before the time is fetched: between the fetch
  // and the setting it would leave the clock behind by as long as the user took to type.
  if (authorize_clock_first) fetch.prepare = [clock = &clock_] { clock->Authorize(); };
  return window_.RunBusy(fetch);
}

template <typename Handler>
void Form1Handlers::RunHandler(Handler handler) {
  // A failed request or a refused clock must not cost the user the window: the error is shown
  // and the window stays, so the address can be corrected and the press repeated.
  try {
    handler();
  } catch (const WindowClosed&) {
    // The user is gone and the program is ending: there is nobody to tell.
  } catch (const FetchCancelled&) {
    // The user chose to stop waiting and knows it: the window simply goes on.
  } catch (const Error& error) {
    message_box_.ReportError(error);
  } catch (const std::exception& error) {
    message_box_.ReportError(
        Error(ErrorKind::kSystem, "程序内部出现意外错误（" + SystemTextToUtf8(error.what()) +
                                      "）。请重试；如果问题仍然存在，请重新启动程序。"));
  }
}

}  // namespace horalux
