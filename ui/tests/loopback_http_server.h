// A one-thread HTTP server on 127.0.0.1 for the window's tests and benchmarks: answers every
// request with a response it is given, raw, so that broken responses can be served as well.
#pragma once

#include <atomic>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace horalux::testing {

class LoopbackHttpServer {
 public:
  // Serves `200 OK` with the given Date header until told otherwise.
  LoopbackHttpServer();
  ~LoopbackHttpServer();
  LoopbackHttpServer(const LoopbackHttpServer&) = delete;
  LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

  // http://127.0.0.1:<port>/
  std::string Url() const;

  // A complete response with this Date header value.
  void ServeDate(std::string_view date_header_value);
  // These bytes, as they stand, then the connection is closed.
  void ServeRaw(std::string response);

  // Requests answered so far.
  int requests() const { return requests_.load(); }

 private:
  void Serve();
  void Answer(int connection);

  int listener_ = -1;
  int stop_pipe_[2] = {-1, -1};
  int port_ = 0;
  std::atomic<int> requests_{0};
  mutable std::mutex mutex_;
  std::string response_;
  std::thread thread_;
};

}  // namespace horalux::testing
