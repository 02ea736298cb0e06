// The scheduled correction, set up once by an administrator: `--schedule [URL ...]` makes the
// system run `--sync` for those sites at every start and hourly, `--unschedule` stops that, and
// `--status` says how it stands. One source per platform: on Linux the package's systemd timer
// and /etc/default/horalux, on Windows a task in Task Scheduler. Toolkit-free and windowless: the
// front end prints what these return.
#pragma once

#include <string>
#include <vector>

namespace horalux {

struct ScheduleRequest {
  std::vector<std::string> urls;  // one to eight http or https URLs, as given
  std::string proxy;              // --proxy; empty: the system's, as the window would take it
};

struct ScheduleOutput {
  std::vector<std::string> lines;     // for standard output: what was done, or how it stands
  std::vector<std::string> warnings;  // for standard error as well: what will keep it from working
};

// Each raises horalux::Error, worded with what to do, where the system refuses (no administrator
// rights, no timer or task service) and nothing is left half done.
ScheduleOutput Schedule(const ScheduleRequest& request);
ScheduleOutput Unschedule();
ScheduleOutput ScheduleStatus();

}  // namespace horalux
