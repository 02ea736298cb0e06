// A private D-Bus system bus and, on it, python3-dbusmock's stand-in for systemd-timedated, which
// records every call and never moves the clock. Both run as child processes that go with their
// owner, and with the test process should it die first.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "runtime/clock/sd_bus_handles.h"

namespace horalux::testing {

// A child process, stopped and reaped when the handle goes.
class ChildProcess {
 public:
  ChildProcess() = default;
  // Runs `argv` with `environment`, its output appended to `log_path`; `extra_fd`, when not -1,
  // is passed on as descriptor 3.
  ChildProcess(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
               const std::string& log_path, int extra_fd = -1);
  ChildProcess(ChildProcess&& other) noexcept;
  ChildProcess& operator=(ChildProcess&& other) noexcept;
  ~ChildProcess();

  bool has_exited();
  void Stop() noexcept;

 private:
  pid_t pid_ = -1;
};

// dbus-daemon with a system-type configuration, listening on a socket in a temporary directory of
// its own. Nothing on it can be activated, so an absent service is reported as ServiceUnknown.
class PrivateSystemBus {
 public:
  PrivateSystemBus();
  PrivateSystemBus(const PrivateSystemBus&) = delete;
  PrivateSystemBus& operator=(const PrivateSystemBus&) = delete;
  ~PrivateSystemBus();

  // The address for DBUS_SYSTEM_BUS_ADDRESS.
  const std::string& address() const { return address_; }
  // The temporary directory, for logs and sockets of whatever runs beside the bus.
  const std::string& directory() const { return directory_; }

 private:
  std::string directory_;
  std::string address_;
  ChildProcess daemon_;
};

struct SetTimeCall {
  std::int64_t usec_utc = 0;
  bool relative = false;
  bool interactive = false;
  // The message's flag that lets polkit ask the user for a password.
  bool allows_interactive_authorization = false;
};

// python3-dbusmock's timedated template on `bus`, ready once constructed.
class TimedatedMock {
 public:
  explicit TimedatedMock(const PrivateSystemBus& bus);
  TimedatedMock(const TimedatedMock&) = delete;
  TimedatedMock& operator=(const TimedatedMock&) = delete;
  ~TimedatedMock();

  // Every SetTime received since the start or the last ClearCalls, in order.
  std::vector<SetTimeCall> SetTimeCalls();
  void ClearCalls();
  // From now on SetTime answers with the D-Bus error `error_name`.
  void FailSetTime(std::string_view error_name, std::string_view message);

 private:
  // Reads what the monitor has seen so far.
  void DrainMonitor();

  std::string log_path_;
  ChildProcess mock_;
  BusHandle control_;  // our own connection, for the mock's control interface
  // The mock records arguments but not header flags, so a monitor on the bus watches those.
  BusHandle monitor_;
  std::vector<bool> seen_flags_;
};

}  // namespace horalux::testing
