#include "runtime/clock/polkit_client.h"

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "runtime/base/error.h"
#include "runtime/clock/refusal_linux.h"
#include "runtime/clock/sd_bus_handles.h"

namespace horalux {

namespace {

constexpr const char* kPolkitName = "org.freedesktop.PolicyKit1";
constexpr const char* kPolkitPath = "/org/freedesktop/PolicyKit1/Authority";
constexpr const char* kPolkitInterface = "org.freedesktop.PolicyKit1.Authority";
constexpr const char* kSetTimeAction = "org.freedesktop.timedate1.set-time";
constexpr std::uint32_t kAllowUserInteraction = 1;

// The prompt has no other limit: polkit waits for its agent as long as it takes.
constexpr std::chrono::minutes kAuthorizationTimeout{5};

// polkit's answer (bba{ss}): whether authorized; whether a password could make it so; details,
// among them whether the user dismissed the prompt.
struct PolkitAnswer {
  bool authorized = false;
  bool challenge = false;
  bool dismissed = false;
};

std::optional<PolkitAnswer> ReadPolkitAnswer(sd_bus_message* reply) {
  PolkitAnswer answer;
  int authorized = 0;
  int challenge = 0;
  if (sd_bus_message_enter_container(reply, 'r', "bba{ss}") <= 0 ||
      sd_bus_message_read(reply, "bb", &authorized, &challenge) < 0 ||
      sd_bus_message_enter_container(reply, 'a', "{ss}") <= 0) {
    return std::nullopt;
  }
  answer.authorized = authorized != 0;
  answer.challenge = challenge != 0;
  while (true) {
    const int entered = sd_bus_message_enter_container(reply, 'e', "ss");
    if (entered < 0) return std::nullopt;
    if (entered == 0) break;
    const char* key = nullptr;
    const char* value = nullptr;
    if (sd_bus_message_read(reply, "ss", &key, &value) < 0 ||
        sd_bus_message_exit_container(reply) < 0) {
      return std::nullopt;
    }
    if (std::string_view(key) == "polkit.dismissed" && std::string_view(value) == "true") {
      answer.dismissed = true;
    }
  }
  return answer;
}

}  // namespace

void AuthorizeThroughPolkit() {
  sd_bus* raw_bus = nullptr;
  int result = sd_bus_open_system(&raw_bus);
  BusHandle bus(raw_bus);
  // Without a system bus there is nobody to ask; setting the clock says why it cannot go that way.
  if (result < 0) return;

  const char* unique_name = nullptr;
  result = sd_bus_get_unique_name(bus.get(), &unique_name);
  sd_bus_message* raw_call = nullptr;
  if (result >= 0) {
    result = sd_bus_message_new_method_call(bus.get(), &raw_call, kPolkitName, kPolkitPath,
                                            kPolkitInterface, "CheckAuthorization");
  }
  MessageHandle call(raw_call);
  if (result >= 0) {
    // The subject is this connection's unique name; no details; no cancellation id.
    result = sd_bus_message_append(call.get(), "(sa{sv})sa{ss}us", "system-bus-name", 1, "name",
                                   "s", unique_name, kSetTimeAction, 0, kAllowUserInteraction, "");
  }
  if (result < 0) {
    throw LinuxRefusal(ClockFailure::kPolkitRequestNotBuilt, ErrnoNote(-result), std::nullopt);
  }

  BusError error;
  sd_bus_message* raw_reply = nullptr;
  const auto timeout =
      std::chrono::duration_cast<std::chrono::microseconds>(kAuthorizationTimeout).count();
  result = sd_bus_call(bus.get(), call.get(), static_cast<std::uint64_t>(timeout), error.get(),
                       &raw_reply);
  MessageHandle reply(raw_reply);
  if (result < 0) {
    if (error.has_name(kPolkitCancelled))
      throw LinuxRefusal(ClockFailure::kAuthenticationCancelled, "", std::nullopt);
    if (result == -ETIMEDOUT || error.has_name(SD_BUS_ERROR_TIMEOUT) ||
        error.has_name(SD_BUS_ERROR_NO_REPLY)) {
      throw LinuxRefusal(ClockFailure::kPromptUnanswered, "", std::nullopt);
    }
    // No polkit on the bus, or one that cannot answer for the action (timedated not installed,
    // say): go on as without this step. timedated still asks polkit itself before it sets.
    return;
  }
  const std::optional<PolkitAnswer> answer = ReadPolkitAnswer(reply.get());
  // An answer that cannot be read proves nothing either way; timedated will ask for itself.
  if (!answer || answer->authorized) return;
  if (answer->dismissed) {
    throw LinuxRefusal(ClockFailure::kAuthenticationCancelled, "", std::nullopt);
  }
  if (answer->challenge) throw LinuxRefusal(ClockFailure::kNoAuthenticationAgent, "", std::nullopt);
  throw LinuxRefusal(ClockFailure::kNotAuthorizedBeforehand, "", std::nullopt);
}

}  // namespace horalux
