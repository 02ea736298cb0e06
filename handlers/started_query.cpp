#include "handlers/started_query.h"

#include <condition_variable>
#include <exception>
#include <mutex>
#include <utility>

namespace horalux {

struct StartedQuery::Progress {
  void MarkUnderWay() {
    std::lock_guard lock(mutex);
    under_way = true;
    changed.notify_all();
  }

  std::mutex mutex;
  std::condition_variable changed;
  bool under_way = false;
};

StartedQuery::StartedQuery(UnderWayQuery query, std::string url)
    : url_(std::move(url)), progress_(std::make_shared<Progress>()) {
  std::promise<std::string> promise;
  answer_ = promise.get_future().share();
  thread_ = std::thread([promise = std::move(promise), query = std::move(query), url = url_,
                         progress = progress_]() mutable {
    // Its own share of the progress: a request abandoned at its deadline may still call it after
    // this thread has ended.
    const std::function<void()> under_way = [progress] { progress->MarkUnderWay(); };
    try {
      promise.set_value(query(url, under_way));
    } catch (...) {
      promise.set_exception(std::current_exception());
    }
    progress->MarkUnderWay();
  });
}

StartedQuery::StartedQuery(WebTimeQuery query, std::string url)
    : StartedQuery([query = std::move(query)](std::string_view url,
                                              const std::function<void()>&) { return query(url); },
                   std::move(url)) {}

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

void StartedQuery::WaitUntilUnderWay(std::chrono::milliseconds longest) const {
  std::unique_lock lock(progress_->mutex);
  progress_->changed.wait_for(lock, longest, [this] { return progress_->under_way; });
}

}  // namespace horalux
