#include "testing/loopback_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace horalux::testing {
namespace {

[[noreturn]] void ThrowErrno(const char* what) {
  throw std::system_error(errno, std::generic_category(), what);
}

sockaddr_in LoopbackAddress(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

int Native(std::intptr_t native) { return static_cast<int>(native); }

// A TCP socket bound to 127.0.0.1 at a free port.
Socket BoundToLoopback() {
  Socket socket(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket) ThrowErrno("socket");
  sockaddr_in address = LoopbackAddress(0);
  if (bind(Native(socket.native()), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ThrowErrno("bind on 127.0.0.1");
  }
  return socket;
}

}  // namespace

StopSignal::StopSignal() {
  native_ = eventfd(0, EFD_CLOEXEC);
  if (native_ < 0) ThrowErrno("eventfd");
}

StopSignal::~StopSignal() { close(Native(native_)); }

void StopSignal::Raise() noexcept {
  const std::uint64_t one = 1;
  (void)!write(Native(native_), &one, sizeof one);
}

Socket::~Socket() {
  if (native_ != -1) close(Native(native_));
}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    if (native_ != -1) close(Native(native_));
    native_ = other.native_;
    other.native_ = -1;
  }
  return *this;
}

Socket Socket::ListenOnLoopback() {
  Socket socket = BoundToLoopback();
  if (listen(Native(socket.native_), 64) != 0) ThrowErrno("listen on 127.0.0.1");
  return socket;
}

std::uint16_t Socket::LocalPort() const {
  sockaddr_in address{};
  socklen_t length = sizeof address;
  if (getsockname(Native(native_), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ThrowErrno("getsockname");
  }
  return ntohs(address.sin_port);
}

bool Socket::Wait(bool for_writing, const StopSignal& stop) const {
  pollfd fds[2] = {{Native(native_), static_cast<short>(for_writing ? POLLOUT : POLLIN), 0},
                   {Native(stop.native()), POLLIN, 0}};
  while (true) {
    if (poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (fds[1].revents != 0) return false;
    if (fds[0].revents != 0) return true;
  }
}

Socket Socket::Accept() const {
  return Socket(accept4(Native(native_), nullptr, nullptr, SOCK_CLOEXEC));
}

std::ptrdiff_t Socket::Receive(char* buffer, std::size_t size) const {
  ssize_t received;
  do {
    received = recv(Native(native_), buffer, size, 0);
  } while (received < 0 && errno == EINTR);
  return received;
}

bool Socket::SendAll(std::string_view bytes) const {
  while (!bytes.empty()) {
    const ssize_t sent = send(Native(native_), bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool Socket::SendWithoutWaiting(std::string_view bytes) const {
  const ssize_t sent =
      send(Native(native_), bytes.data(), bytes.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
  return sent >= 0 || errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

void Socket::ResetOnClose() const {
  const linger abort_on_close{1, 0};
  setsockopt(Native(native_), SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof abort_on_close);
}

std::uint16_t UnusedLoopbackPort() {
  // Bound but not listening, then released: connecting to the port is refused.
  return BoundToLoopback().LocalPort();
}

}  // namespace horalux::testing
