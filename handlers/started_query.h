// A web time query started ahead of the window that shows its answer: the program starts the
// start-up query first thing, on a thread of its own, and the window system starts meanwhile. The
// load handler then takes the answer (Form1Handlers::Form_Load).
#pragma once

#include <chrono>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <string_view>
#include <thread>

#include "handlers/form1_handlers.h"

namespace horalux {

// A web time query that calls `under_way` once its request is under way on the thread that
// carries it (HttpRequestOptions::on_sending).
using UnderWayQuery =
    std::function<std::string(std::string_view url, const std::function<void()>& under_way)>;

class StartedQuery {
 public:
  // Starts `query(url)` on a new thread.
  StartedQuery(UnderWayQuery query, std::string url);
  // The same for a query that does not tell: it counts as under way once it has ended.
  StartedQuery(WebTimeQuery query, std::string url);
  // Joins the thread of a query that has ended. One still running is left to end on its own: it
  // owns everything it uses, and its answer is dropped.
  ~StartedQuery();
  StartedQuery(const StartedQuery&) = delete;
  StartedQuery& operator=(const StartedQuery&) = delete;

  const std::string& url() const { return url_; }
  // The time text, or what the query raised, once it has ended; may be kept after this object
  // has gone.
  const std::shared_future<std::string>& answer() const { return answer_; }
  bool Ended() const;
  // Waits until the request is under way or the query has ended, `longest` at most.
  void WaitUntilUnderWay(std::chrono::milliseconds longest) const;

 private:
  struct Progress;

  std::string url_;
  std::shared_ptr<Progress> progress_;
  std::shared_future<std::string> answer_;
  std::thread thread_;
};

}  // namespace horalux
