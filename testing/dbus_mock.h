// One of python3-dbusmock's templates running on a private bus, and its control interface
// (org.freedesktop.DBus.Mock), on which the stand-ins for the system's services are built.
#pragma once

#include <string>
#include <string_view>

#include "runtime/clock/sd_bus_handles.h"
#include "testing/private_system_bus.h"

namespace horalux::testing {

// Text as a Python string literal, for the code of AddMethod; the tests' texts hold no control
// characters.
std::string PythonString(std::string_view text);

class DbusMock {
 public:
  // Runs `template_name`, which owns `bus_name` and serves `object_path`, on `bus`, which must
  // outlive it; ready once constructed.
  DbusMock(PrivateSystemBus& bus, std::string template_name, std::string bus_name,
           std::string object_path);
  DbusMock(const DbusMock&) = delete;
  DbusMock& operator=(const DbusMock&) = delete;
  ~DbusMock();

  // Calls `method` of `interface` on the template's object, as a client would, and returns the
  // reply; sd_bus_call_method's `signature` and arguments.
  template <typename... Arguments>
  MessageHandle Call(const char* interface, const char* method, const char* signature,
                     Arguments... arguments) {
    BusError error;
    sd_bus_message* reply = nullptr;
    const int result =
        sd_bus_call_method(control_.get(), bus_name_.c_str(), object_path_.c_str(), interface,
                           method, error.get(), &reply, signature, arguments...);
    MessageHandle owned_reply(reply);
    if (result < 0) Fail(std::string(method) + " failed: " + error.name() + " " + error.message());
    return owned_reply;
  }

  // From now on `method` of `interface` runs the Python `code` (with `self` and `args`), which
  // sets `ret` to the answer when `out_signature` is not empty.
  void AddMethod(const char* interface, const char* method, const char* in_signature,
                 const char* out_signature, const std::string& code);
  // The record of calls to `method` since the start or the last ClearCalls: an a(tav) of
  // (timestamp, arguments), ready to be read.
  MessageHandle GetMethodCalls(const char* method);
  void ClearCalls();

  // What went wrong, with what the bus and its templates wrote.
  [[noreturn]] void Fail(const std::string& what) const { FailWithLog(what, bus_.log_path()); }

 private:
  PrivateSystemBus& bus_;
  std::string template_name_;
  std::string bus_name_;
  std::string object_path_;
  BusHandle control_;  // our own connection, for the control interface
};

}  // namespace horalux::testing
