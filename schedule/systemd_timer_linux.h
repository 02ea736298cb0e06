// Linux only: the scheduled correction as the package's horalux-sync.timer, which starts
// horalux-sync.service with the sites of /etc/default/horalux; the places it goes through open to
// tests, which run stand-ins for systemctl and journalctl in a folder of their own.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "schedule/scheduler.h"

namespace horalux {

inline constexpr std::string_view kTimerUnit = "horalux-sync.timer";
inline constexpr std::string_view kServiceUnit = "horalux-sync.service";

struct SystemdPlaces {
  std::string defaults_file;  // /etc/default/horalux
  std::string systemctl;      // the programs, looked up on PATH where they name no folder
  std::string journalctl;
  // Whether timedated says NTP keeps the clock; none where it cannot be asked.
  std::function<std::optional<bool>()> ntp;
};

// The system's own: the file, systemctl and journalctl on PATH, timedated on the system bus.
SystemdPlaces SystemPlaces();

ScheduleOutput ScheduleTimer(const ScheduleRequest& request, const SystemdPlaces& places);
ScheduleOutput UnscheduleTimer(const SystemdPlaces& places);
ScheduleOutput TimerStatus(const SystemdPlaces& places);

}  // namespace horalux
