#include "testing/loopback_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <system_error>

namespace horalux::testing {
namespace {

constexpr std::size_t kMaxRequestBytes = 1 << 20;

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

sockaddr_in LoopbackAddress(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// Waits until `fd` is readable (true) or the server stops (false).
bool WaitReadable(int fd, int stop_event) {
  pollfd fds[2] = {{fd, POLLIN, 0}, {stop_event, POLLIN, 0}};
  while (true) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (fds[1].revents != 0) return false;
    if (fds[0].revents != 0) return true;
  }
}

// Waits until the server stops (true) or `delay` has passed (false).
bool StopsWithin(int stop_event, std::chrono::milliseconds delay) {
  const auto deadline = std::chrono::steady_clock::now() + delay;
  pollfd fds[1] = {{stop_event, POLLIN, 0}};
  while (true) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    const int ready = poll(fds, 1, static_cast<int>(left.count()));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t sent = send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

// Reads one request from `fd`, keeping what follows it in `pending`. Nothing when the client
// leaves, the server stops, or the request is malformed.
std::optional<ReceivedRequest> ReadRequest(int fd, int stop_event, std::string& pending) {
  auto fill = [&]() {
    if (!WaitReadable(fd, stop_event)) return false;
    char buffer[16384];
    const ssize_t received = recv(fd, buffer, sizeof buffer, 0);
    if (received <= 0) return false;
    pending.append(buffer, static_cast<std::size_t>(received));
    return pending.size() <= kMaxRequestBytes;
  };
  std::size_t head_end;
  while ((head_end = pending.find("\r\n\r\n")) == std::string::npos) {
    if (!fill()) return std::nullopt;
  }
  const std::string head = pending.substr(0, head_end);
  pending.erase(0, head_end + 4);

  ReceivedRequest request;
  std::size_t line_end = head.find("\r\n");
  const std::string_view request_line = std::string_view(head).substr(0, line_end);
  const auto first_blank = request_line.find(' ');
  const auto second_blank = request_line.find(' ', first_blank + 1);
  if (first_blank == std::string_view::npos || second_blank == std::string_view::npos)
    return std::nullopt;
  request.method = request_line.substr(0, first_blank);
  request.target = request_line.substr(first_blank + 1, second_blank - first_blank - 1);

  while (line_end != std::string::npos) {
    const std::size_t start = line_end + 2;
    line_end = head.find("\r\n", start);
    const std::string_view line = std::string_view(head).substr(
        start, line_end == std::string::npos ? std::string::npos : line_end - start);
    const auto colon = line.find(':');
    if (colon == std::string_view::npos) continue;
    request.headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
  }

  std::size_t body_length = 0;
  if (const auto length = request.Header("Content-Length")) body_length = std::stoul(*length);
  while (pending.size() < body_length) {
    if (!fill()) return std::nullopt;
  }
  request.body = pending.substr(0, body_length);
  pending.erase(0, body_length);
  return request;
}

}  // namespace

std::optional<std::string> ReceivedRequest::Header(std::string_view name) const {
  for (const auto& [header_name, value] : headers) {
    if (EqualsIgnoringCase(header_name, name)) return value;
  }
  return std::nullopt;
}

Reply Reply::Response(int status, const std::vector<std::string>& header_lines,
                      std::string_view body) {
  std::string bytes = "HTTP/1.1 " + std::to_string(status) + " Test\r\n";
  for (const std::string& line : header_lines) bytes += line + "\r\n";
  bytes += "Content-Length: " + std::to_string(body.size()) + "\r\n";
  bytes += "Connection: close\r\n\r\n";
  bytes += body;
  return {bytes, Then::kClose};
}

LoopbackServer::LoopbackServer(Handler handler, Memory memory)
    : handler_(std::move(handler)), memory_(memory) {
  listener_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) ThrowErrno("socket");
  stop_event_ = eventfd(0, EFD_CLOEXEC);
  if (stop_event_ < 0) {
    const int saved = errno;
    close(listener_);
    errno = saved;
    ThrowErrno("eventfd");
  }
  sockaddr_in address = LoopbackAddress(0);
  socklen_t length = sizeof address;
  if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener_, 64) != 0 ||
      getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int saved = errno;
    close(listener_);
    close(stop_event_);
    errno = saved;
    ThrowErrno("listen on 127.0.0.1");
  }
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  const std::uint64_t one = 1;
  (void)!write(stop_event_, &one, sizeof one);
  acceptor_.join();
  // The acceptor has ended, so no worker is added any more.
  for (Worker& worker : workers_) worker.thread.join();
  close(listener_);
  close(stop_event_);
}

std::string LoopbackServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<ReceivedRequest> LoopbackServer::Requests() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

int LoopbackServer::RequestCount() const {
  std::lock_guard lock(mutex_);
  return request_count_;
}

void LoopbackServer::AcceptLoop() {
  while (WaitReadable(listener_, stop_event_)) {
    const int connection = accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    // Join the workers that are done, so that a long run does not pile up ended threads.
    for (auto worker = workers_.begin(); worker != workers_.end();) {
      if (worker->finished) {
        worker->thread.join();
        worker = workers_.erase(worker);
      } else {
        ++worker;
      }
    }
    Worker& worker = workers_.emplace_back();
    worker.thread = std::thread([this, connection, &worker] {
      Serve(connection);
      worker.finished = true;
    });
  }
}

void LoopbackServer::Serve(int connection) {
  std::string pending;
  while (const std::optional<ReceivedRequest> request =
             ReadRequest(connection, stop_event_, pending)) {
    Reply reply;
    {
      std::lock_guard lock(mutex_);
      ++request_count_;
      if (memory_ == Memory::kEveryRequest) requests_.push_back(*request);
      reply = handler_(*request);
    }
    if (reply.delay.count() > 0 && StopsWithin(stop_event_, reply.delay)) break;
    if (!SendAll(connection, reply.bytes)) break;
    if (reply.then == Reply::Then::kClose) break;
    if (reply.then == Reply::Then::kReset) {
      const linger abort_on_close{1, 0};
      setsockopt(connection, SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof abort_on_close);
      break;
    }
    if (reply.then == Reply::Then::kHoldOpen) {
      // Readable means the client sent more or left; either way keep silent until it leaves.
      char ignored[4096];
      while (WaitReadable(connection, stop_event_) &&
             recv(connection, ignored, sizeof ignored, 0) > 0) {
      }
      break;
    }
    // Without blocking, so that stopping the server never waits for a client that stopped reading.
    const std::string filler(16384, 'x');
    pollfd fds[2] = {{connection, POLLOUT, 0}, {stop_event_, POLLIN, 0}};
    while (poll(fds, 2, -1) >= 0 && fds[1].revents == 0) {
      const ssize_t sent =
          send(connection, filler.data(), filler.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
      if (sent < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) break;
    }
    break;
  }
  close(connection);
}

std::uint16_t UnusedLoopbackPort() {
  // Bind a port, then release it without listening: connecting to it is refused.
  const int probe = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (probe < 0) ThrowErrno("socket");
  sockaddr_in address = LoopbackAddress(0);
  socklen_t length = sizeof address;
  if (bind(probe, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(probe, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int saved = errno;
    close(probe);
    errno = saved;
    ThrowErrno("bind on 127.0.0.1");
  }
  close(probe);
  return ntohs(address.sin_port);
}

}  // namespace horalux::testing
