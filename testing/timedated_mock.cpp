#include "testing/timedated_mock.h"

#include <stdexcept>
#include <string>

namespace horalux::testing {

namespace {

constexpr const char* kInterface = "org.freedesktop.timedate1";

std::string RaiseDBusError(std::string_view error_name, std::string_view message) {
  return "raise dbus.exceptions.DBusException(" + PythonString(message) +
         ", name=" + PythonString(error_name) + ")";
}

}  // namespace

TimedatedMock::TimedatedMock(PrivateSystemBus& bus)
    : mock_(bus, "timedated", "org.freedesktop.timedate1", "/org/freedesktop/timedate1"),
      monitor_(bus, "type='method_call',interface='org.freedesktop.timedate1',member='SetTime'") {}

std::vector<SetTimeCall> TimedatedMock::SetTimeCalls() {
  const MessageHandle reply = mock_.GetMethodCalls("SetTime");
  std::vector<SetTimeCall> calls;
  sd_bus_message* message = reply.get();
  CheckBusResult(sd_bus_message_enter_container(message, 'a', "(tav)"), "enter a(tav)");
  while (true) {
    const int entered = sd_bus_message_enter_container(message, 'r', "tav");
    CheckBusResult(entered, "enter (tav)");
    if (entered == 0) break;
    std::uint64_t timestamp = 0;
    CheckBusResult(sd_bus_message_read(message, "t", &timestamp), "read timestamp");
    CheckBusResult(sd_bus_message_enter_container(message, 'a', "v"), "enter av");
    SetTimeCall call;
    for (int index = 0;; ++index) {
      char type = 0;
      const char* contents = nullptr;
      const int peeked = sd_bus_message_peek_type(message, &type, &contents);
      CheckBusResult(peeked, "peek argument");
      if (peeked == 0) break;
      CheckBusResult(sd_bus_message_enter_container(message, 'v', contents), "enter v");
      if (index == 0 && std::string_view(contents) == "x") {
        CheckBusResult(sd_bus_message_read(message, "x", &call.usec_utc), "read usec");
      } else if (index > 0 && std::string_view(contents) == "b") {
        int flag = 0;
        CheckBusResult(sd_bus_message_read(message, "b", &flag), "read flag");
        (index == 1 ? call.relative : call.interactive) = flag != 0;
      } else {
        throw std::runtime_error(std::string("SetTime argument of unexpected type ") + contents);
      }
      CheckBusResult(sd_bus_message_exit_container(message), "exit v");
    }
    CheckBusResult(sd_bus_message_exit_container(message), "exit av");
    CheckBusResult(sd_bus_message_exit_container(message), "exit (tav)");
    calls.push_back(call);
  }
  CheckBusResult(sd_bus_message_exit_container(message), "exit a(tav)");

  const auto& seen = monitor_.Calls(calls.size());
  if (seen.size() != calls.size()) {
    mock_.Fail("the monitor saw " + std::to_string(seen.size()) + " SetTime calls, the mock " +
               std::to_string(calls.size()));
  }
  for (std::size_t i = 0; i < calls.size(); ++i) {
    calls[i].allows_interactive_authorization =
        sd_bus_message_get_allow_interactive_authorization(seen[i].get()) > 0;
  }
  return calls;
}

void TimedatedMock::ClearCalls() {
  mock_.ClearCalls();
  monitor_.Clear();
}

void TimedatedMock::FailSetTime(std::string_view error_name, std::string_view message) {
  ReplaceSetTime(RaiseDBusError(error_name, message));
}

void TimedatedMock::RefuseSetTimeWhileNtpIsOn() {
  ReplaceSetTime("if self.Get('org.freedesktop.timedate1', 'NTP'): " +
                 RaiseDBusError("org.freedesktop.timedate1.AutomaticTimeSyncEnabled",
                                "Automatic time synchronization is enabled"));
}

void TimedatedMock::SetNtp(bool on) { mock_.Call(kInterface, "SetNTP", "bb", int{on}, 0); }

void TimedatedMock::ReplaceSetTime(const std::string& code) {
  mock_.AddMethod(kInterface, "SetTime", "xbb", "", code);
}

}  // namespace horalux::testing
