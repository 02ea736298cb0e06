// A private D-Bus system bus and, on it, python3-dbusmock's stand-ins for systemd-timedated, which
// records every call and never moves the clock, and for polkit, which answers as told. All run as
// child processes that go with their owner, and with the test process should it die first.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <map>
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

// The method calls a bus carries that match a rule, copied by a monitor: the stand-ins record
// arguments but not the header (the sender, the flags).
class CallMonitor {
 public:
  CallMonitor(const std::string& address, const std::string& match_rule);

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
  std::string log_path_;
  ChildProcess mock_;
  BusHandle control_;  // our own connection, for the mock's control interface
  CallMonitor monitor_;
};

// One CheckAuthorization as the bus carried it.
struct CheckAuthorizationCall {
  std::string sender;        // the caller's unique name
  std::string subject_kind;  // "system-bus-name", "unix-process", ...
  std::string subject_name;  // the subject's "name" detail, if it has one
  std::string action_id;
  std::size_t details = 0;  // how many details the caller passed
  std::uint32_t flags = 0;
  std::string cancellation_id;
};

// python3-dbusmock's polkitd template on `bus`, ready once constructed. Until told otherwise it
// refuses every action at once.
class PolkitMock {
 public:
  explicit PolkitMock(const PrivateSystemBus& bus);
  PolkitMock(const PolkitMock&) = delete;
  PolkitMock& operator=(const PolkitMock&) = delete;
  ~PolkitMock();

  // From now on CheckAuthorization waits `delay`, as a user typing a password would make it, then
  // answers (is_authorized, is_challenge, details) whatever the action.
  void Answer(bool authorized, bool challenge, const std::map<std::string, std::string>& details,
              std::chrono::milliseconds delay = std::chrono::milliseconds::zero());
  // Every CheckAuthorization received since the start, in order.
  std::vector<CheckAuthorizationCall> Calls();

 private:
  std::string log_path_;
  ChildProcess mock_;
  BusHandle control_;
  CallMonitor monitor_;
};

}  // namespace horalux::testing
