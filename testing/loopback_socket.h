// The few socket calls the loopback test server makes: listening on 127.0.0.1, waiting for a
// socket or a stop signal, sending and receiving. BSD sockets and an eventfd on Linux, Winsock
// on Windows; one source per platform.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace horalux::testing {

// Raised once, it stays raised and ends every wait given it.
class StopSignal {
 public:
  StopSignal();  // raises std::system_error when it cannot
  ~StopSignal();
  StopSignal(const StopSignal&) = delete;
  StopSignal& operator=(const StopSignal&) = delete;

  void Raise() noexcept;
  std::intptr_t native() const { return native_; }
  // Gives up the socket without closing it.
  std::intptr_t Release() {
    const std::intptr_t native = native_;
    native_ = -1;
    return native;
  }

 private:
  std::intptr_t native_ = -1;
};

class Socket {
 public:
  Socket() = default;
  explicit Socket(std::intptr_t native) : native_(native) {}
  ~Socket();
  Socket(Socket&& other) noexcept : native_(other.native_) { other.native_ = -1; }
  Socket& operator=(Socket&& other) noexcept;

  // A socket listening on 127.0.0.1 at a free port. Raises std::system_error when it cannot.
  static Socket ListenOnLoopback();

  explicit operator bool() const { return native_ != -1; }
  std::intptr_t native() const { return native_; }
  // Gives up the socket without closing it.
  std::intptr_t Release() {
    const std::intptr_t native = native_;
    native_ = -1;
    return native;
  }
  std::uint16_t LocalPort() const;

  // Waits until the socket can be read (or written, `for_writing`); false when `stop` was raised
  // or the wait failed.
  bool Wait(bool for_writing, const StopSignal& stop) const;
  // A connection waiting on a listening socket, or an empty socket.
  Socket Accept() const;
  // The number of bytes received: 0 at the end of the stream, negative on failure.
  std::ptrdiff_t Receive(char* buffer, std::size_t size) const;
  bool SendAll(std::string_view bytes) const;
  // Sends as much as fits without waiting; false when the connection failed.
  bool SendWithoutWaiting(std::string_view bytes) const;
  // Closing will abort the connection with a TCP reset.
  void ResetOnClose() const;

 private:
  std::intptr_t native_ = -1;
};

// A port on 127.0.0.1 where nothing listens (connecting is refused).
std::uint16_t UnusedLoopbackPort();

}  // namespace horalux::testing
