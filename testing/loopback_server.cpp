#include "testing/loopback_server.h"

#include <algorithm>
#include <cctype>
#include <chrono>

namespace horalux::testing {
namespace {

constexpr std::size_t kMaxRequestBytes = 1 << 20;

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

// Reads one request from `connection`, keeping what follows it in `pending`. Nothing when the
// client leaves, the server stops, or the request is malformed.
std::optional<ReceivedRequest> ReadRequest(const Socket& connection, const StopSignal& stop,
                                           std::string& pending) {
  auto fill = [&]() {
    if (!connection.Wait(false, stop)) return false;
    char buffer[16384];
    const std::ptrdiff_t received = connection.Receive(buffer, sizeof buffer);
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

Reply Reply::KeptAlive(int status, const std::vector<std::string>& header_lines,
                       std::string_view body) {
  Reply reply = Response(status, header_lines, body);
  const std::string close_line = "Connection: close\r\n";
  reply.bytes.erase(reply.bytes.find(close_line), close_line.size());
  reply.then = Then::kKeepAlive;
  return reply;
}

LoopbackServer::LoopbackServer(Handler handler, Memory memory)
    : handler_(std::move(handler)),
      memory_(memory),
      listener_(Socket::ListenOnLoopback()),
      port_(listener_.LocalPort()) {
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackServer::~LoopbackServer() {
  stopping_ = true;
  stop_.Raise();
  acceptor_.join();
  // The acceptor has ended, so no worker is added any more.
  for (Worker& worker : workers_) worker.thread.join();
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
  while (listener_.Wait(false, stop_)) {
    Socket connection = listener_.Accept();
    if (!connection) continue;
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
    worker.thread = std::thread([this, connection = std::move(connection), &worker] {
      Serve(connection);
      worker.finished = true;
    });
  }
}

bool LoopbackServer::StopsWithin(std::chrono::milliseconds delay) const {
  // In short steps, so that stopping the server never waits out a long delay.
  const auto deadline = std::chrono::steady_clock::now() + delay;
  while (!stopping_) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return false;
    std::this_thread::sleep_for(
        std::min<std::chrono::steady_clock::duration>(left, std::chrono::milliseconds(20)));
  }
  return true;
}

void LoopbackServer::Serve(const Socket& connection) {
  std::string pending;
  int connection_number = 0;
  {
    std::lock_guard lock(mutex_);
    connection_number = ++connection_count_;
  }
  while (std::optional<ReceivedRequest> request = ReadRequest(connection, stop_, pending)) {
    request->connection = connection_number;
    Reply reply;
    {
      std::lock_guard lock(mutex_);
      ++request_count_;
      if (memory_ == Memory::kEveryRequest) requests_.push_back(*request);
      reply = handler_(*request);
    }
    if (reply.delay.count() > 0 && StopsWithin(reply.delay)) break;
    if (!connection.SendAll(reply.bytes)) break;
    if (reply.then == Reply::Then::kKeepAlive) continue;
    if (reply.then == Reply::Then::kClose) break;
    if (reply.then == Reply::Then::kReset) {
      connection.ResetOnClose();
      break;
    }
    if (reply.then == Reply::Then::kHoldOpen) {
      // Readable means the client sent more or left; either way keep silent until it leaves.
      char ignored[4096];
      while (connection.Wait(false, stop_) && connection.Receive(ignored, sizeof ignored) > 0) {
      }
      break;
    }
    if (reply.then == Reply::Then::kTrickle) {
      while (!stopping_ && connection.SendAll("x")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
      }
      break;
    }
    // Without blocking, so that stopping the server never waits for a client that stopped reading.
    const std::string filler(16384, 'x');
    while (connection.Wait(true, stop_) && connection.SendWithoutWaiting(filler)) {
    }
    break;
  }
}

}  // namespace horalux::testing
