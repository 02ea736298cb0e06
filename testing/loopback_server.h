// A tiny HTTP/1.1 server on 127.0.0.1 for tests: it listens on a free port, hands each request it
// reads to a handler, writes back exactly the bytes the handler returns, and remembers every
// request. Odd servers are easy to make with it: one that never answers, one with hand-written
// headers, one whose body never ends, a proxy that checks the request line.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <list>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "testing/loopback_socket.h"

namespace horalux::testing {

// One request as the server read it.
struct ReceivedRequest {
  std::string method;
  std::string target;  // as on the request line: "/path", "http://host/path", "host:443"
  std::vector<std::pair<std::string, std::string>> headers;  // in the order sent
  std::string body;
  int connection = 0;  // which connection it came on, counted from 1 in the order accepted

  // The value of the first header called `name` (any case), or nothing.
  std::optional<std::string> Header(std::string_view name) const;
};

// What the server does with one request.
struct Reply {
  enum class Then {
    kClose,          // close the connection
    kHoldOpen,       // keep it open without writing more, until the client leaves
    kStreamForever,  // keep writing filler bytes until the client leaves
    kReset,          // abort the connection with a TCP reset
    kTrickle,        // keep writing a filler byte every tenth of a second until the client leaves
    kKeepAlive,      // read the next request on the same connection
  };

  std::string bytes;  // written as they are: status line, header lines, blank line, any body
  Then then = Then::kClose;
  // How long the server takes before it writes `bytes`; it writes nothing if it stops first.
  std::chrono::milliseconds delay{0};

  // A complete response: the status line, `header_lines` ("Date: ..."), then Content-Length,
  // Connection: close, a blank line and `body`.
  static Reply Response(int status, const std::vector<std::string>& header_lines,
                        std::string_view body = {});
  // The same, kept alive: without Connection: close, and the connection waits for the next request.
  static Reply KeptAlive(int status, const std::vector<std::string>& header_lines,
                         std::string_view body = {});
  // Reads the request and never answers.
  static Reply Silence() { return {"", Then::kHoldOpen}; }
};

class LoopbackServer {
 public:
  // Called once per request, on the server's threads (one at a time).
  using Handler = std::function<Reply(const ReceivedRequest&)>;
  // Whether Requests() keeps every request, or only RequestCount() counts them: a benchmark
  // that watches memory over thousands of requests must not see the server's own grow.
  enum class Memory { kEveryRequest, kCountOnly };

  // Starts listening at once. Raises std::system_error when it cannot.
  explicit LoopbackServer(Handler handler, Memory memory = Memory::kEveryRequest);
  // Stops listening, drops open connections and waits for the server's threads.
  ~LoopbackServer();
  LoopbackServer(const LoopbackServer&) = delete;
  LoopbackServer& operator=(const LoopbackServer&) = delete;

  std::uint16_t port() const { return port_; }
  // "http://127.0.0.1:<port>" followed by `path`.
  std::string Url(std::string_view path = "/") const;
  // Every request read so far, oldest first (none with Memory::kCountOnly).
  std::vector<ReceivedRequest> Requests() const;
  int RequestCount() const;

 private:
  struct Worker {
    std::thread thread;
    std::atomic<bool> finished{false};
  };

  void AcceptLoop();
  // Waits `delay`; true when the server stops first.
  bool StopsWithin(std::chrono::milliseconds delay) const;
  void Serve(const Socket& connection);

  Handler handler_;
  Memory memory_;
  Socket listener_;
  StopSignal stop_;  // raised when the server stops
  std::atomic<bool> stopping_{false};
  std::uint16_t port_ = 0;

  mutable std::mutex mutex_;  // guards requests_ and serialises handler_
  std::vector<ReceivedRequest> requests_;
  int request_count_ = 0;
  int connection_count_ = 0;
  std::list<Worker>
      workers_;  // one per connection; touched only by the acceptor, then ~LoopbackServer
  std::thread acceptor_;
};

}  // namespace horalux::testing
