#include "handlers/started_query.h"

#include <chrono>
#include <exception>
#include <utility>

namespace horalux {

StartedQuery::StartedQuery(WebTimeQuery query, std::string url) : url_(std::move(url)) {
  std::promise<std::string> promise;
  answer_ = promise.get_future().share();
  thread_ =
      std::thread([promise = std::move(promise), query = std::move(query), url = url_]() mutable {
        try {
          promise.set_value(query(url));
        } catch (...) {
          promise.set_exception(std::current_exception());
        }
      });
}

StartedQuery::~StartedQuery() {
  // An ended query's thread has only its own copies left to release: joining it takes no time.
  if (Ended()) {
    thread_.join();
  } else {
    thread_.detach();
  }
}

bool StartedQuery::Ended() const {
  return answer_.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

}  // namespace horalux
