// The timed exchange against loopback servers: one connection for every Send, the request the
// window sends, times around the server's answer, redirects and long bodies. (Its URL check and
// its failures are HttpRequest's, tested there.)
#include "webtime/timed_exchange.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "testing/loopback_server.h"
#include "webtime/tests/request_fixture.h"
#include "webtime/user_agent.h"

namespace horalux {
namespace {

using namespace std::chrono_literals;

TEST_F(HttpRequestTest, TimedExchangeKeepsOneConnectionAndTimesEachAnswer) {
  const WallClock clock;
  LoopbackServer final_hop([](const ReceivedRequest&) {
    Reply reply = Reply::KeptAlive(200, {"Date: " + std::string(kSampleDate), "Age: 5"}, "body");
    reply.delay = 30ms;
    return reply;
  });
  LoopbackServer redirect([&](const ReceivedRequest&) {
    return Reply::KeptAlive(307, {"Location: " + final_hop.Url()});
  });
  LoopbackServer closing([](const ReceivedRequest&) {
    return Reply::Response(200, {"Date: " + std::string(kSampleDate)});
  });
  // Headers, then a body that never ends: the answer still counts, the connection is dropped.
  LoopbackServer endless([](const ReceivedRequest&) {
    return Reply{"HTTP/1.1 200 OK\r\nDate: " + std::string(kSampleDate) + "\r\n\r\n",
                 Reply::Then::kStreamForever};
  });
  struct Case {
    const char* description;
    std::string url;
    std::function<std::vector<ReceivedRequest>()> requests;
    int connections;  // what the server at the end saw for three Sends
    bool timed;       // its answer comes 30 ms after the request
  };
  const std::vector<Case> cases = {
      {"kept alive", final_hop.Url(), [&] { return final_hop.Requests(); }, 1, true},
      {"redirected once, then straight to the final hop", redirect.Url(),
       [&] { return final_hop.Requests(); }, 1, true},
      {"a server that closes each connection", closing.Url(), [&] { return closing.Requests(); }, 3,
       false},
      {"a body without end", endless.Url(), [&] { return endless.Requests(); }, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.description);
    const std::size_t seen_before = c.requests().size();
    const auto exchange = OpenTimedExchange(c.url, kTestOptions, clock);
    for (int i = 0; i < 3; ++i) {
      const WallTime before = clock.Now();
      const TimedAnswer answer = exchange->Send();
      const WallTime after = clock.Now();
      EXPECT_EQ(answer.status, 200);
      EXPECT_EQ(answer.date, kSampleDate);
      EXPECT_TRUE(answer.proxy.empty());
      EXPECT_LE(before, answer.sent);
      EXPECT_LE(answer.sent, answer.received);
      EXPECT_LE(answer.received, after);
      if (c.timed) {
        EXPECT_EQ(answer.age, "5");
        EXPECT_GE(answer.received - answer.sent, 30ms);
      }
    }
    const std::vector<ReceivedRequest> requests = c.requests();
    ASSERT_EQ(requests.size(), seen_before + 3);
    int first_connection = requests[seen_before].connection;
    EXPECT_EQ(requests.back().connection - first_connection + 1, c.connections);
    for (std::size_t i = seen_before; i < requests.size(); ++i) {
      EXPECT_EQ(requests[i].method, "POST");
      EXPECT_EQ(requests[i].body, "");
      EXPECT_EQ(requests[i].Header("Content-Length"), "0");
      EXPECT_EQ(requests[i].Header("User-Agent"), kUserAgent);
    }
  }
}

}  // namespace
}  // namespace horalux
