#include "schedule/timedated_ntp_linux.h"

#include "runtime/clock/sd_bus_handles.h"

namespace horalux {

std::optional<bool> TimedatedReportsNtp() {
  sd_bus* raw_bus = nullptr;
  const int opened = sd_bus_open_system(&raw_bus);
  BusHandle bus(raw_bus);
  if (opened < 0) return std::nullopt;
  // A hung timedated must not hold up --schedule, which only warns on this.
  sd_bus_set_method_call_timeout(bus.get(), 5'000'000);
  BusError error;
  int ntp = 0;
  if (sd_bus_get_property_trivial(bus.get(), "org.freedesktop.timedate1",
                                  "/org/freedesktop/timedate1", "org.freedesktop.timedate1", "NTP",
                                  error.get(), 'b', &ntp) < 0) {
    return std::nullopt;
  }
  return ntp != 0;
}

}  // namespace horalux
