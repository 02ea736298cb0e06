// Requests to one URL over one kept-alive connection, each timed as closely to the wire as the
// platform's HTTP library tells: the windowless modes measure the server's clock with them. One
// source per platform defines OpenTimedExchange (libcurl on Linux, WinHTTP on Windows).
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <string_view>

#include "runtime/base/wall_clock.h"
#include "webtime/http_request.h"

namespace horalux {

// One answer, and the local wall-clock times around it: the server read its clock for the Date
// header at some moment between `sent` and `received`.
struct TimedAnswer {
  WallTime sent;      // just before the request's first byte went out
  WallTime received;  // when the answer's first byte came in
  int status = 0;
  std::string date;  // the Date header's value; empty when there is none
  std::string age;   // the Age header's value (a cache answered); empty when there is none
  // The proxy the request went through ("proxy.example:8080"); empty when it went direct.
  std::string proxy;
};

class TimedExchange {
 public:
  virtual ~TimedExchange() = default;

  // Sends one POST with an empty body and the program's User-Agent, as the window's request, and
  // returns once the answer's headers are in; its body is read and dropped so that the connection
  // stays open for the next call (a connection the server closed is opened again). Redirects are
  // followed; `sent` and `received` are those of the final hop. Raises horalux::Error as
  // HttpRequest does, with a message that names the host.
  virtual TimedAnswer Send() = 0;
};

// Checks `url` as HttpRequest::Open does (ErrorKind::kInvalidUrl naming it) and prepares the
// exchange; nothing goes out before the first Send. `clock` reads the times of every answer and
// must outlive the exchange.
std::unique_ptr<TimedExchange> OpenTimedExchange(std::string_view url,
                                                 const HttpRequestOptions& options,
                                                 const WallClock& clock);

}  // namespace horalux
