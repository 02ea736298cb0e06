// A stand-in for systemd-timedated on a private bus (python3-dbusmock's timedated template), which
// records every SetTime and never moves the clock.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "testing/dbus_mock.h"
#include "testing/private_system_bus.h"

namespace horalux::testing {

struct SetTimeCall {
  std::int64_t usec_utc = 0;
  bool relative = false;
  bool interactive = false;
  // The message's flag that lets polkit ask the user for a password.
  bool allows_interactive_authorization = false;
};

// Runs on a bus that outlives it; ready once constructed, its NTP property on.
class TimedatedMock {
 public:
  explicit TimedatedMock(PrivateSystemBus& bus);

  // Every SetTime received since the start or the last ClearCalls, in order.
  std::vector<SetTimeCall> SetTimeCalls();
  void ClearCalls();
  // From now on SetTime answers with the D-Bus error `error_name`.
  void FailSetTime(std::string_view error_name, std::string_view message);
  // From now on SetTime answers as systemd-timedated does: with AutomaticTimeSyncEnabled while
  // the NTP property is on.
  void RefuseSetTimeWhileNtpIsOn();
  // Turns the NTP property on or off, as `timedatectl set-ntp` asks the service to.
  void SetNtp(bool on);

 private:
  void ReplaceSetTime(const std::string& code);

  DbusMock mock_;
  CallMonitor monitor_;
};

}  // namespace horalux::testing
