// A web time query started ahead of the window that shows its answer: the program starts the
// start-up query first thing, as a background call, and the window system starts meanwhile. The
// load handler then waits on that very call (Form1Handlers::Form_Load).
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <string_view>

#include "handlers/form1_handlers.h"
#include "runtime/background/background_call.h"

namespace horalux {

// A web time query that calls `under_way` once its request is under way on the thread that
// carries it (HttpRequestOptions::on_sending).
using UnderWayQuery =
    std::function<std::string(std::string_view url, const std::function<void()>& under_way)>;

class StartedQuery {
 public:
  // Starts `query(url)`.
  StartedQuery(UnderWayQuery query, std::string url);
  // The same for a query that does not tell: it counts as under way once it has ended.
  StartedQuery(WebTimeQuery query, std::string url);

  const std::string& url() const { return url_; }
  // The query; one still running when this object goes is left to end on its own, its answer
  // dropped.
  BackgroundCall<std::string>& call() { return call_; }
  bool Ended() const { return call_.Ended(); }
  // Waits until the request is under way or the query has ended, `longest` at most.
  void WaitUntilUnderWay(std::chrono::milliseconds longest) const;

 private:
  std::string url_;
  BackgroundCall<std::string> call_;
};

}  // namespace horalux
