#include "handlers/form1_handlers.h"

#include <exception>
#include <string>
#include <utility>

#include "handlers/error_report.h"
#include "handlers/started_query.h"
#include "handlers/texts.h"
#include "handlers/waiting_text.h"
#include "runtime/base/error.h"
#include "runtime/datetime/pattern_format.h"

namespace horalux {

Form1Handlers::Form1Handlers(Form1Window& window, MessageBoxService& message_box, Clock& clock,
                             TextForms forms, WebTimeQuery query)
    : window_(window),
      message_box_(message_box),
      clock_(clock),
      forms_(std::move(forms)),
      query_(std::move(query)) {}

void Form1Handlers::Form_Load(StartedQuery* started) {
  RunHandler([this, started] { LoadTime(started); });
}

void Form1Handlers::Command1_Click() {
  RunHandler([this] { SetClock(); });
}

void Form1Handlers::LoadTime(StartedQuery* started) {
  // Shown only: the time box stays empty until the set-clock command fills it.
  const std::string url = window_.ReadText2();
  if (started == nullptr || started->url() != url) {
    message_box_.Show(GetWebTime(false));
    return;
  }
  // An answer that is in is shown at once. One still out is waited for like any other, and the
  // wait may be cancelled.
  if (started->Ended()) {
    message_box_.Show(started->call().Take());
    return;
  }
  message_box_.Show(Await(started->call(), WaitingText(url)));
}

void Form1Handlers::SetClock() {
  // Every value goes through the time box, read afresh each time: what the box holds is what
  // the clock is set to.
  window_.WriteText1(GetWebTime(true));
  if (!IsDateTime(window_.ReadText1(), forms_)) {
    message_box_.Show(texts::kNotATime);
    return;
  }
  const std::string date = FormatPattern(ParseDateTime(window_.ReadText1(), forms_), "yyyy-mm-dd");
  CallClock([date](Clock& clock) { SetLocalDateFromText(clock, date); });
  const std::string time = FormatPattern(ParseDateTime(window_.ReadText1(), forms_), "hh:mm:ss");
  CallClock([time](Clock& clock) { SetLocalTimeFromText(clock, time); });
  message_box_.Show(texts::kClockSet);
}

std::string Form1Handlers::GetWebTime(bool authorize_clock_first) {
  // The call holds copies of what it uses: it is left running, after this handler has gone,
  // when the user closes the window meanwhile. The clock is the program's and outlives every
  // window.
  const std::string url = window_.ReadText2();
  BackgroundCall<std::string> fetch(
      [query = query_, url, clock = &clock_, authorize_clock_first](const CallProgress& progress) {
        // A password prompt for the clock comes first, before the time is fetched: between the
        // fetch and the setting it would leave the clock behind by as long as the user took to
        // type. It is the system's, not a wait of ours.
        if (authorize_clock_first) clock->Authorize();
        progress.Mark(CallStage::kWaiting);
        return query(url);
      });
  return Await(fetch, WaitingText(url));
}

void Form1Handlers::CallClock(std::function<void(Clock&)> set) {
  // systemd-timedated is started on demand and may be slow to answer: the window stays drawn
  // meanwhile, without the small window, which is for a web server's answer.
  BackgroundCall<bool> call([set = std::move(set), clock = &clock_](const CallProgress& progress) {
    progress.Mark(CallStage::kWaiting);
    set(*clock);
    return true;
  });
  Await(call, {});
}

template <typename Result>
Result Form1Handlers::Await(BackgroundCall<Result>& call, std::string_view waiting_text) {
  LongWaitRule rule(waiting_text);
  switch (window_.AwaitCall(call, rule)) {
    case WaitEnd::kCallEnded:
      return call.Take();
    case WaitEnd::kCancelled:
      // Even an answer that came meanwhile is dropped, as the user asked.
      call.Cancel();
      throw FetchCancelled();
    case WaitEnd::kWindowClosed:
      break;
  }
  call.Cancel();
  throw WindowClosed();
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
    message_box_.ReportError(InternalError(error, AfterInternalError::kTryAgain));
  }
}

}  // namespace horalux
