#include "testing/loopback_socket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <system_error>

namespace horalux::testing {
namespace {

// Every socket holds a use of Winsock, which counts them: the first starts it, the last ends it.
void StartWinsock() {
  WSADATA data;
  if (const int code = WSAStartup(MAKEWORD(2, 2), &data); code != 0) {
    throw std::system_error(code, std::system_category(), "WSAStartup");
  }
}

[[noreturn]] void ThrowSocketError(const char* what) {
  throw std::system_error(WSAGetLastError(), std::system_category(), what);
}

SOCKET Native(std::intptr_t native) { return static_cast<SOCKET>(native); }

void CloseSocket(std::intptr_t native) {
  closesocket(Native(native));
  WSACleanup();
}

sockaddr_in LoopbackAddress(std::uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

// A socket of `type` bound to 127.0.0.1 at a free port.
Socket BoundToLoopback(int type, int protocol) {
  StartWinsock();
  const SOCKET native = socket(AF_INET, type, protocol);
  if (native == INVALID_SOCKET) {
    const int code = WSAGetLastError();
    WSACleanup();
    throw std::system_error(code, std::system_category(), "socket");
  }
  Socket bound(static_cast<std::intptr_t>(native));
  sockaddr_in address = LoopbackAddress(0);
  if (bind(native, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ThrowSocketError("bind on 127.0.0.1");
  }
  return bound;
}

}  // namespace

// A UDP socket that, once raised, holds a datagram it sent to itself: readable for good.
StopSignal::StopSignal() : native_(BoundToLoopback(SOCK_DGRAM, IPPROTO_UDP).Release()) {}

StopSignal::~StopSignal() { CloseSocket(native_); }

void StopSignal::Raise() noexcept {
  sockaddr_in address{};
  int length = sizeof address;
  if (getsockname(Native(native_), reinterpret_cast<sockaddr*>(&address), &length) != 0) return;
  const char byte = 1;
  sendto(Native(native_), &byte, 1, 0, reinterpret_cast<const sockaddr*>(&address), length);
}

Socket::~Socket() {
  if (native_ != -1) CloseSocket(native_);
}

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    if (native_ != -1) CloseSocket(native_);
    native_ = other.native_;
    other.native_ = -1;
  }
  return *this;
}

Socket Socket::ListenOnLoopback() {
  Socket socket = BoundToLoopback(SOCK_STREAM, IPPROTO_TCP);
  if (listen(Native(socket.native_), 64) != 0) ThrowSocketError("listen on 127.0.0.1");
  return socket;
}

std::uint16_t Socket::LocalPort() const {
  sockaddr_in address{};
  int length = sizeof address;
  if (getsockname(Native(native_), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ThrowSocketError("getsockname");
  }
  return ntohs(address.sin_port);
}

bool Socket::Wait(bool for_writing, const StopSignal& stop) const {
  WSAPOLLFD fds[2] = {
      {Native(native_), static_cast<SHORT>(for_writing ? POLLWRNORM : POLLRDNORM), 0},
      {Native(stop.native()), POLLRDNORM, 0}};
  while (true) {
    if (WSAPoll(fds, 2, -1) < 0) return false;
    if (fds[1].revents != 0) return false;
    if (fds[0].revents != 0) return true;
  }
}

Socket Socket::Accept() const {
  StartWinsock();
  const SOCKET connection = accept(Native(native_), nullptr, nullptr);
  if (connection == INVALID_SOCKET) {
    WSACleanup();
    return Socket();
  }
  return Socket(static_cast<std::intptr_t>(connection));
}

std::ptrdiff_t Socket::Receive(char* buffer, std::size_t size) const {
  return recv(Native(native_), buffer, static_cast<int>(size), 0);
}

bool Socket::SendAll(std::string_view bytes) const {
  while (!bytes.empty()) {
    const int sent = send(Native(native_), bytes.data(), static_cast<int>(bytes.size()), 0);
    if (sent <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool Socket::SendWithoutWaiting(std::string_view bytes) const {
  u_long non_blocking = 1;
  ioctlsocket(Native(native_), FIONBIO, &non_blocking);
  const int sent = send(Native(native_), bytes.data(), static_cast<int>(bytes.size()), 0);
  return sent >= 0 || WSAGetLastError() == WSAEWOULDBLOCK;
}

void Socket::ResetOnClose() const {
  const linger abort_on_close{1, 0};
  setsockopt(Native(native_), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort_on_close),
             sizeof abort_on_close);
}

std::uint16_t UnusedLoopbackPort() {
  // Bound but not listening, then released: connecting to the port is refused.
  return BoundToLoopback(SOCK_STREAM, IPPROTO_TCP).LocalPort();
}

}  // namespace horalux::testing
