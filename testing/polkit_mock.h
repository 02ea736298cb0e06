// A stand-in for polkit on a private bus (python3-dbusmock's polkitd template), which answers
// CheckAuthorization as told and records each call as the bus carried it.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "testing/dbus_mock.h"
#include "testing/private_system_bus.h"

namespace horalux::testing {

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

// Runs on a bus that outlives it; ready once constructed. Until told otherwise it refuses every
// action at once.
class PolkitMock {
 public:
  explicit PolkitMock(PrivateSystemBus& bus);

  // From now on CheckAuthorization waits `delay`, as a user typing a password would make it, then
  // answers (is_authorized, is_challenge, details) whatever the action.
  void Answer(bool authorized, bool challenge, const std::map<std::string, std::string>& details,
              std::chrono::milliseconds delay = std::chrono::milliseconds::zero());
  // Every CheckAuthorization received since the start, in order.
  std::vector<CheckAuthorizationCall> Calls();

 private:
  DbusMock mock_;
  CallMonitor monitor_;
};

}  // namespace horalux::testing
