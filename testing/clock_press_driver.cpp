// The clock's part of a press, once per line read from standard input, on the computer's own
// clock: Authorize, then the date, then the time of day (today's, now's: a real service would
// leave the clock where it is). Prints each step's outcome and how long it took. Used by
// scripts/check-polkit-flow.sh against the real polkitd and systemd-timedated.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <string>

#include "runtime/base/error.h"
#include "runtime/clock/clock.h"

namespace {

void Step(const char* name, const std::function<void()>& step) {
  const auto start = std::chrono::steady_clock::now();
  std::string outcome = "ok";
  try {
    step();
  } catch (const horalux::Error& error) {
    outcome = std::string("error: ") + error.what();
  }
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  std::printf("%s %s (%.2f s)\n", name, outcome.c_str(), took.count());
  std::fflush(stdout);
}

}  // namespace

int main() {
  std::printf("pid %d\n", static_cast<int>(::getpid()));
  std::fflush(stdout);
  const auto clock = horalux::OpenSystemClock();
  for (std::string line; std::getline(std::cin, line);) {
    Step("authorize", [&] { clock->Authorize(); });
    const auto now = std::chrono::system_clock::now();
    const auto today = std::chrono::floor<std::chrono::days>(now);
    Step("date", [&] { clock->SetLocalDate(std::chrono::year_month_day{today}); });
    Step("time",
         [&] { clock->SetLocalTimeOfDay(std::chrono::floor<std::chrono::seconds>(now - today)); });
    std::printf("press done\n");
    std::fflush(stdout);
  }
}
