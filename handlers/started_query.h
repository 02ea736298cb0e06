// A web time query started ahead of the window that shows its answer: the program starts the
// start-up query first thing, on a thread of its own, and the window system starts meanwhile. The
// load handler then takes the answer (Form1Handlers::Form_Load).
#pragma once

#include <future>
#include <string>
#include <thread>

#include "handlers/form1_handlers.h"

namespace horalux {

class StartedQuery {
 public:
  // Starts `query(url)` on a new thread.
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

 private:
  std::string url_;
  std::shared_future<std::string> answer_;
  std::thread thread_;
};

}  // namespace horalux
