// A private D-Bus system bus for one test, started by python3-dbusmock, which also runs its
// templates there on request: nothing runs on the bus but what the test puts there, and nothing on
// it can be activated, so an absent service is reported as ServiceUnknown. Also a connection to
// the bus, and a monitor copying the method calls it carries.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "runtime/clock/sd_bus_handles.h"
#include "testing/child_process.h"
#include "testing/temporary_directory.h"

namespace horalux::testing {

// The text of `log_path` after `what`, as the message of a std::runtime_error.
[[noreturn]] void FailWithLog(const std::string& what, const std::string& log_path);

// Throws, naming `what`, when an sd-bus call returned an error.
void CheckBusResult(int result, const char* what);

class PrivateSystemBus {
 public:
  PrivateSystemBus();

  // Runs python3-dbusmock's template `template_name` on the bus; it answers there once this
  // returns.
  void StartTemplate(const std::string& template_name);
  void StopTemplate(const std::string& template_name) noexcept;

  // The address for DBUS_SYSTEM_BUS_ADDRESS.
  const std::string& address() const { return address_; }
  // A temporary directory, for the logs of whatever runs beside the bus.
  const std::string& directory() const { return directory_.path(); }
  // What the bus and its templates wrote.
  const std::string& log_path() const { return log_path_; }

  // A new client connection to the bus.
  BusHandle Connect() const;

 private:
  // Whether the template runner did `command`.
  bool Ask(const std::string& command);

  TemporaryDirectory directory_;
  std::string log_path_;
  ChildProcess launcher_;
  std::string address_;
};

// The method calls a bus carries that match a rule, copied by a monitor: the stand-ins record
// arguments but not the header (the sender, the flags).
class CallMonitor {
 public:
  CallMonitor(const PrivateSystemBus& bus, const std::string& match_rule);

  // The calls seen so far, oldest first, having waited a moment for at least `expected` of them:
  // the bus hands the monitor its copy before the service answers, but the copy may still be on
  // its way through the socket. Each is rewound, ready to be read.
  const std::vector<MessageHandle>& Calls(std::size_t expected);
  void Clear();

 private:
  void Drain();

  BusHandle bus_;
  std::vector<MessageHandle> calls_;
};

}  // namespace horalux::testing
