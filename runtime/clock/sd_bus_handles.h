// Owning handles for sd-bus connections, messages and errors, so that every path releases them.
#pragma once

#include <memory>

#include <systemd/sd-bus.h>

namespace horalux {

struct BusCloser {
  // Flushes queued messages first, so that nothing sent is lost when the connection goes.
  void operator()(sd_bus* bus) const noexcept { sd_bus_flush_close_unref(bus); }
};
using BusHandle = std::unique_ptr<sd_bus, BusCloser>;

struct MessageReleaser {
  void operator()(sd_bus_message* message) const noexcept { sd_bus_message_unref(message); }
};
using MessageHandle = std::unique_ptr<sd_bus_message, MessageReleaser>;

// An sd_bus_error that frees its name and message when it goes.
class BusError {
 public:
  BusError() = default;
  BusError(const BusError&) = delete;
  BusError& operator=(const BusError&) = delete;
  ~BusError() { sd_bus_error_free(&error_); }

  sd_bus_error* get() noexcept { return &error_; }
  bool is_set() const noexcept { return sd_bus_error_is_set(&error_) != 0; }
  bool has_name(const char* name) const noexcept {
    return sd_bus_error_has_name(&error_, name) != 0;
  }
  const char* name() const noexcept { return error_.name != nullptr ? error_.name : ""; }
  const char* message() const noexcept { return error_.message != nullptr ? error_.message : ""; }

 private:
  // All zero, as SD_BUS_ERROR_NULL is; that macro is a C compound literal, not C++.
  sd_bus_error error_{};
};

}  // namespace horalux
