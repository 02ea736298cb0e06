// A simulated site for the tests of the measurement and of a whole run: a virtual wall clock that
// only moves when waited on or when an answer comes (shared by every site, so that sites measured
// side by side see one time), and a timed exchange with a server whose clock runs a given offset
// from it and whose requests and answers take given delays.
#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <random>
#include <string>

#include "runtime/base/error.h"
#include "sync/site_measurement.h"
#include "testing/offset_time_server.h"
#include "webtime/timed_exchange.h"

namespace horalux::testing {

class VirtualTime {
 public:
  explicit VirtualTime(WallTime start) : now_(start) {}
  WallTime Now() {
    std::lock_guard lock(mutex_);
    return now_;
  }
  void AdvanceTo(WallTime time) {
    std::lock_guard lock(mutex_);
    if (time > now_) now_ = time;
  }
  SiteTiming Timing() {
    return {[this] { return Now(); }, [this](WallTime time) { AdvanceTo(time); }};
  }

 private:
  std::mutex mutex_;
  WallTime now_;
};

struct SimulatedServer {
  std::chrono::microseconds offset{};  // the server's clock minus the virtual clock
  std::chrono::microseconds shortest = std::chrono::milliseconds(5);
  std::chrono::microseconds longest = std::chrono::milliseconds(15);
  std::uint32_t seed = 1;
  // Changes the answer made from the right Date; the default leaves it.
  std::function<void(TimedAnswer&, int request)> alter = nullptr;
  // The request (counted from 1) that fails on the way; 0: none.
  int failing_request = 0;
};

class SimulatedExchange : public TimedExchange {
 public:
  SimulatedExchange(VirtualTime& time, SimulatedServer server)
      : time_(time),
        server_(std::move(server)),
        random_(server_.seed),
        delay_(server_.shortest.count(), server_.longest.count()) {}

  TimedAnswer Send() override {
    ++requests_;
    if (requests_ == server_.failing_request) {
      throw Error(ErrorKind::kTimeout, "网站 “sim.example” 没有及时回答");
    }
    TimedAnswer answer;
    answer.sent = time_.Now();
    const WallTime read = answer.sent + std::chrono::microseconds(delay_(random_));
    answer.received = read + std::chrono::microseconds(delay_(random_));
    time_.AdvanceTo(answer.received);
    answer.status = 200;
    answer.date = HttpDate(std::chrono::system_clock::time_point(read + server_.offset));
    if (server_.alter) server_.alter(answer, requests_);
    return answer;
  }

 private:
  VirtualTime& time_;
  const SimulatedServer server_;
  std::mt19937 random_;
  std::uniform_int_distribution<std::int64_t> delay_;
  int requests_ = 0;
};

}  // namespace horalux::testing
