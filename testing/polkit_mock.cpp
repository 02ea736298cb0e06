#include "testing/polkit_mock.h"

#include <string_view>
#include <utility>

namespace horalux::testing {

namespace {

// Whether the container being read has another element.
bool HasMore(sd_bus_message* message) {
  const int peeked = sd_bus_message_peek_type(message, nullptr, nullptr);
  CheckBusResult(peeked, "peek");
  return peeked > 0;
}

}  // namespace

PolkitMock::PolkitMock(PrivateSystemBus& bus)
    : mock_(bus, "polkitd", "org.freedesktop.PolicyKit1", "/org/freedesktop/PolicyKit1/Authority"),
      monitor_(bus,
               "type='method_call',interface='org.freedesktop.PolicyKit1.Authority',"
               "member='CheckAuthorization'") {
  // The template's own method keeps no record of its calls; one added through the mock does.
  Answer(false, false, {});
}

void PolkitMock::Answer(bool authorized, bool challenge,
                        const std::map<std::string, std::string>& details,
                        std::chrono::milliseconds delay) {
  std::string code = "time.sleep(" + std::to_string(delay.count() / 1000.0) + ")\nret = (" +
                     (authorized ? "True" : "False") + ", " + (challenge ? "True" : "False") +
                     ", {";
  for (const auto& [key, value] : details)
    code += PythonString(key) + ": " + PythonString(value) + ", ";
  code += "})";
  mock_.AddMethod("org.freedesktop.PolicyKit1.Authority", "CheckAuthorization", "(sa{sv})sa{ss}us",
                  "(bba{ss})", code);
}

std::vector<CheckAuthorizationCall> PolkitMock::Calls() {
  const MessageHandle record = mock_.GetMethodCalls("CheckAuthorization");
  std::size_t recorded = 0;
  CheckBusResult(sd_bus_message_enter_container(record.get(), 'a', "(tav)"), "enter a(tav)");
  while (HasMore(record.get())) {
    CheckBusResult(sd_bus_message_skip(record.get(), "(tav)"), "skip (tav)");
    ++recorded;
  }

  std::vector<CheckAuthorizationCall> calls;
  for (const auto& seen : monitor_.Calls(recorded)) {
    sd_bus_message* message = seen.get();
    CheckAuthorizationCall call;
    if (const char* sender = sd_bus_message_get_sender(message)) call.sender = sender;
    const char* text = nullptr;
    CheckBusResult(sd_bus_message_enter_container(message, 'r', "sa{sv}"), "enter subject");
    CheckBusResult(sd_bus_message_read(message, "s", &text), "read subject kind");
    call.subject_kind = text;
    CheckBusResult(sd_bus_message_enter_container(message, 'a', "{sv}"), "enter subject details");
    while (true) {
      const int entered = sd_bus_message_enter_container(message, 'e', "sv");
      CheckBusResult(entered, "enter subject detail");
      if (entered == 0) break;
      const char* key = nullptr;
      CheckBusResult(sd_bus_message_read(message, "s", &key), "read subject detail key");
      if (std::string_view(key) == "name") {
        CheckBusResult(sd_bus_message_read(message, "v", "s", &text), "read subject name");
        call.subject_name = text;
      } else {
        CheckBusResult(sd_bus_message_skip(message, "v"), "skip subject detail");
      }
      CheckBusResult(sd_bus_message_exit_container(message), "exit subject detail");
    }
    CheckBusResult(sd_bus_message_exit_container(message), "exit subject details");
    CheckBusResult(sd_bus_message_exit_container(message), "exit subject");
    CheckBusResult(sd_bus_message_read(message, "s", &text), "read action");
    call.action_id = text;
    CheckBusResult(sd_bus_message_enter_container(message, 'a', "{ss}"), "enter details");
    while (HasMore(message)) {
      CheckBusResult(sd_bus_message_skip(message, "{ss}"), "skip detail");
      ++call.details;
    }
    CheckBusResult(sd_bus_message_exit_container(message), "exit details");
    CheckBusResult(sd_bus_message_read(message, "us", &call.flags, &text),
                   "read flags and cancellation id");
    call.cancellation_id = text;
    calls.push_back(std::move(call));
  }
  return calls;
}

}  // namespace horalux::testing
