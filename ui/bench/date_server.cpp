#include "ui/bench/date_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string>
#include <utility>

namespace horalux::bench {
namespace {

[[noreturn]] void Fail(const char* what) {
  throw std::runtime_error(std::string(what) + " failed, errno " + std::to_string(errno));
}

}  // namespace

DateServer::DateServer() {
  listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listener_ < 0) Fail("socket");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0) Fail("bind");
  if (::listen(listener_, 16) != 0) Fail("listen");
  if (::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    Fail("getsockname");
  }
  port_ = ntohs(address.sin_port);
  if (::pipe2(stop_pipe_, O_CLOEXEC) != 0) Fail("pipe2");
  thread_ = std::thread([this] { Serve(); });
}

DateServer::~DateServer() {
  const char stop = 's';
  (void)!::write(stop_pipe_[1], &stop, 1);
  thread_.join();
  ::close(stop_pipe_[0]);
  ::close(stop_pipe_[1]);
  ::close(listener_);
}

std::string DateServer::Url() const {
  return "http://127.0.0.1:" + std::to_string(port_) + "/";
}

void DateServer::Serve() {
  for (;;) {
    pollfd watched[2] = {{listener_, POLLIN, 0}, {stop_pipe_[0], POLLIN, 0}};
    if (::poll(watched, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (watched[1].revents != 0) return;
    const int connection = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
    if (connection < 0) continue;
    Answer(connection);
    ::close(connection);
  }
}

void DateServer::Answer(int connection) {
  // The window sends a POST with an empty body: the request ends with its blank line.
  std::string request;
  char buffer[4096];
  while (request.find("\r\n\r\n") == std::string::npos) {
    pollfd watched{connection, POLLIN, 0};
    if (::poll(&watched, 1, 5000) <= 0) return;
    const ssize_t received = ::recv(connection, buffer, sizeof buffer, 0);
    if (received <= 0) return;
    request.append(buffer, static_cast<std::size_t>(received));
  }
  // Counted before answering: the client may look at the count as soon as it has the answer.
  ++requests_;
  std::string_view rest = response_;
  while (!rest.empty()) {
    const ssize_t sent = ::send(connection, rest.data(), rest.size(), MSG_NOSIGNAL);
    if (sent <= 0) break;
    rest.remove_prefix(static_cast<std::size_t>(sent));
  }
  ::shutdown(connection, SHUT_WR);
}

}  // namespace horalux::bench
