// A web server on 127.0.0.1 whose clock runs a known offset from this machine's, as the servers
// the windowless modes measure: each answer waits a random delay before the server reads its
// clock for the Date header (the request on its way) and another before it is written (the answer
// on its way back). Connections are kept alive. For the end-to-end tests and the benchmark.
#pragma once

#include <chrono>
#include <cstdint>
#include <random>
#include <string>

#include "testing/loopback_server.h"

namespace horalux::testing {

// "Wed, 09 Dec 2026 23:33:00 GMT": the second `time` lies in.
std::string HttpDate(std::chrono::system_clock::time_point time);

class OffsetTimeServer {
 public:
  // `offset`: the server's clock minus this machine's. Each delay is drawn evenly from
  // [shortest, longest], from a generator seeded with `seed`.
  OffsetTimeServer(std::chrono::microseconds offset, std::chrono::milliseconds shortest,
                   std::chrono::milliseconds longest, std::uint32_t seed = 1);

  std::string Url() const { return server_.Url(); }
  std::uint16_t port() const { return server_.port(); }
  std::vector<ReceivedRequest> Requests() const { return server_.Requests(); }

 private:
  Reply Answer();
  std::chrono::microseconds Delay();

  const std::chrono::microseconds offset_;
  std::mt19937 random_;
  std::uniform_int_distribution<std::int64_t> delay_us_;
  // Declared last: it stops, and stops calling Answer, before the rest goes.
  LoopbackServer server_;
};

}  // namespace horalux::testing
