#include "runtime/clock/timedated_client.h"

#include <cerrno>
#include <cstdint>
#include <string_view>

#include "runtime/base/error.h"
#include "runtime/clock/polkit_client.h"
#include "runtime/clock/refusal_linux.h"
#include "runtime/clock/sd_bus_handles.h"

namespace horalux {

namespace {

using std::chrono::local_seconds;
using std::chrono::microseconds;

constexpr const char* kTimedatedName = "org.freedesktop.timedate1";
constexpr const char* kTimedatedPath = "/org/freedesktop/timedate1";
constexpr const char* kTimedatedInterface = "org.freedesktop.timedate1";

// Long enough for a user to read a password prompt and type the password, short enough that a
// hung service cannot freeze the program for good.
constexpr std::chrono::minutes kCallTimeout{2};

constexpr const char* kAutomaticTimeSyncEnabled =
    "org.freedesktop.timedate1.AutomaticTimeSyncEnabled";

std::string DescribeBusError(const BusError& error) {
  std::string text = error.name();
  if (*error.message() != '\0') {
    text += "：";
    text += error.message();
  }
  return text;
}

// The names under which the bus says nobody answers for timedated: the clock is then set directly.
bool MeansNoService(const BusError& error) {
  return error.has_name(SD_BUS_ERROR_SERVICE_UNKNOWN) ||
         error.has_name(SD_BUS_ERROR_NAME_HAS_NO_OWNER) ||
         // Activation was tried and the service could not be started.
         std::string_view(error.name()).starts_with("org.freedesktop.DBus.Error.Spawn.");
}

// What timedated's refusal means, with the system's own words that follow the cause.
TimedatedCause CauseOfRefusal(const BusError& error, int result, bool interactive) {
  if (error.has_name(kAutomaticTimeSyncEnabled)) return {ClockFailure::kAutomaticSyncEnabled, ""};
  if (error.has_name(kPolkitCancelled)) return {ClockFailure::kAuthenticationCancelled, ""};
  const bool not_authorized =
      error.has_name(kPolkitNotAuthorized) || error.has_name(SD_BUS_ERROR_ACCESS_DENIED);
  const bool needs_prompt = error.has_name(SD_BUS_ERROR_INTERACTIVE_AUTHORIZATION_REQUIRED);
  if (!interactive && (not_authorized || needs_prompt)) {
    return {ClockFailure::kNeedsPrivilegeWithoutPrompt,
            not_authorized ? "（" + DescribeBusError(error) + "）" : ""};
  }
  if (not_authorized) return {ClockFailure::kNotAuthorized, "（" + DescribeBusError(error) + "）"};
  if (needs_prompt) return {ClockFailure::kNoAuthenticationAgent, ""};
  // timedated gives polkit 25 s and then answers NoReply: the prompt was left too long. (Our own
  // time-out of the call shows as Timeout instead.)
  if (error.has_name(SD_BUS_ERROR_NO_REPLY)) return {ClockFailure::kPromptOutlastedTimedated, ""};
  if (result == -ETIMEDOUT || error.has_name(SD_BUS_ERROR_TIMEOUT)) {
    return {ClockFailure::kTimedatedTimedOut, ""};
  }
  if (error.is_set()) return {ClockFailure::kTimedatedRefused, DescribeBusError(error)};
  return {ClockFailure::kTimedatedUnreachable, ErrnoNote(-result)};
}

}  // namespace

std::optional<TimedatedCause> SetThroughTimedated(const TimedatedSetting& setting,
                                                  local_seconds wanted) {
  sd_bus* raw_bus = nullptr;
  int result = sd_bus_open_system(&raw_bus);
  BusHandle bus(raw_bus);
  if (result < 0) {
    return TimedatedCause{ClockFailure::kNoSystemBus, ErrnoNote(-result)};
  }

  sd_bus_message* raw_call = nullptr;
  result = sd_bus_message_new_method_call(bus.get(), &raw_call, kTimedatedName, kTimedatedPath,
                                          kTimedatedInterface, "SetTime");
  MessageHandle call(raw_call);
  if (result >= 0) {
    result = sd_bus_message_append(call.get(), "xbb", setting.usec, int{setting.relative},
                                   int{setting.interactive});
  }
  if (result >= 0) {
    // Without this flag polkit answers at once that authentication is required instead of asking.
    result =
        sd_bus_message_set_allow_interactive_authorization(call.get(), int{setting.interactive});
  }
  if (result < 0) {
    throw LinuxRefusal(ClockFailure::kTimedatedRequestNotBuilt, ErrnoNote(-result), wanted);
  }

  BusError error;
  sd_bus_message* raw_reply = nullptr;
  const auto timeout = std::chrono::duration_cast<microseconds>(kCallTimeout).count();
  result = sd_bus_call(bus.get(), call.get(), static_cast<std::uint64_t>(timeout), error.get(),
                       &raw_reply);
  MessageHandle reply(raw_reply);
  if (result >= 0) return std::nullopt;
  if (MeansNoService(error)) {
    return TimedatedCause{ClockFailure::kNoTimedated, "（" + DescribeBusError(error) + "）"};
  }
  const TimedatedCause refusal = CauseOfRefusal(error, result, setting.interactive);
  throw LinuxRefusal(refusal.failure, refusal.note, wanted);
}

}  // namespace horalux
