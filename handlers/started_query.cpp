#include "handlers/started_query.h"

#include <utility>

namespace horalux {

StartedQuery::StartedQuery(UnderWayQuery query, std::string url)
    : url_(std::move(url)),
      call_([query = std::move(query), url = url_](const CallProgress& progress) {
        // The whole query is what the user waits for. Its notice of sending holds a copy of the
        // progress: a request abandoned at its deadline may still give it after the call.
        progress.Mark(CallStage::kWaiting);
        return query(url, [progress] { progress.Mark(CallStage::kSending); });
      }) {}

StartedQuery::StartedQuery(WebTimeQuery query, std::string url)
    : StartedQuery([query = std::move(query)](std::string_view url,
                                              const std::function<void()>&) { return query(url); },
                   std::move(url)) {}

void StartedQuery::WaitUntilUnderWay(std::chrono::milliseconds longest) const {
  call_.WaitUntil(CallStage::kSending, std::chrono::steady_clock::now() + longest);
}

}  // namespace horalux
