// The scheduled correction on Windows as a task definition in Task Scheduler's XML (schema 1.2,
// which Windows 7 reads): `horalux.exe --sync URL ... [--proxy URL]` as SYSTEM, at system start
// after a short delay and every hour from then on, on battery too, one run at a time, each
// stopped after a few minutes, and tried again a few times where a run fails (the network may not
// be up yet at start). Portable text, so that the document is tested on every platform.
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace horalux {

// The name the task is registered under, in the root folder of Task Scheduler.
inline constexpr std::string_view kTaskName = "Horalux";

struct TaskPlan {
  std::string program;                  // the full path of the exe the task runs
  std::vector<std::string> urls;        // the sites, one to eight
  std::string proxy;                    // for --proxy; empty: the system's
  std::chrono::minutes start_delay{1};  // after system start
  std::chrono::minutes interval{60};    // between runs
  std::chrono::minutes run_limit{5};    // a run still going then is stopped
  int retries = 3;                      // after a failed run, a minute apart
};

// The arguments of the task's program: --sync, the URLs, and --proxy with its URL if any.
std::vector<std::string> TaskArguments(const TaskPlan& plan);

// The whole document, declared as UTF-16, the form Task Scheduler is handed it in.
std::string TaskXml(const TaskPlan& plan);

}  // namespace horalux
