// A one-thread HTTP server on 127.0.0.1 for the steady-state benchmark: answers every request
// with the same Date and keeps nothing of it, so that the server itself does not grow while the
// window's memory is watched.
#pragma once

#include <atomic>
#include <string>
#include <string_view>
#include <thread>

namespace horalux::bench {

class DateServer {
 public:
  DateServer();
  ~DateServer();
  DateServer(const DateServer&) = delete;
  DateServer& operator=(const DateServer&) = delete;

  // http://127.0.0.1:<port>/
  std::string Url() const;

  // Requests answered so far.
  int requests() const { return requests_.load(); }

 private:
  void Serve();
  void Answer(int connection);

  int listener_ = -1;
  int stop_pipe_[2] = {-1, -1};
  int port_ = 0;
  std::atomic<int> requests_{0};
  std::string response_ =
      "HTTP/1.1 200 OK\r\nDate: Sun, 06 Nov 1994 08:49:37 GMT\r\nContent-Length: 0\r\n\r\n";
  std::thread thread_;
};

}  // namespace horalux::bench
