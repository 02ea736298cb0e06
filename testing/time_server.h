// A web server on 127.0.0.1 for the window's tests and benchmarks, whose answer the test sets
// between presses: a response with a given Date header, or any bytes at all.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

#include "testing/loopback_server.h"

namespace horalux::testing {

class TimeServer {
 public:
  // Answers with the Date of the HTTP standard's example until told otherwise.
  explicit TimeServer(LoopbackServer::Memory memory = LoopbackServer::Memory::kEveryRequest)
      : server_([this](const ReceivedRequest&) { return Answer(); }, memory) {}

  std::string Url() const { return server_.Url(); }

  // A response with this Date, written `delay` after the request came in.
  void ServeDate(std::string_view date_header_value,
                 std::chrono::milliseconds delay = std::chrono::milliseconds(0)) {
    Reply reply = Reply::Response(200, {"Date: " + std::string(date_header_value)});
    reply.delay = delay;
    Serve(std::move(reply));
  }
  // These bytes as they stand, then the connection is closed.
  void ServeRaw(std::string bytes) { Serve(Reply{std::move(bytes), Reply::Then::kClose}); }

  std::vector<ReceivedRequest> Requests() const { return server_.Requests(); }
  int requests() const { return server_.RequestCount(); }

 private:
  void Serve(Reply reply) {
    std::lock_guard lock(mutex_);
    reply_ = std::move(reply);
  }
  Reply Answer() {
    std::lock_guard lock(mutex_);
    return reply_;
  }

  // The server is declared last: it stops, and stops calling Answer, before the rest goes.
  std::mutex mutex_;
  Reply reply_ = Reply::Response(200, {"Date: Sun, 06 Nov 1994 08:49:37 GMT"});
  LoopbackServer server_;
};

}  // namespace horalux::testing
