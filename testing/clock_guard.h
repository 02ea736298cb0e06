// The guard of every test that reaches a real clock service: such a test refuses to run while
// this process, or a program it starts, could move the machine's clock, so that a stray run
// outside the sandbox cannot set it through the clock_settime fall-back. Linux only.
#pragma once

#include <fstream>
#include <string>

namespace horalux::testing {

inline bool ProcessMaySetTheClock() {
  constexpr int kCapSysTime = 25;
  std::ifstream status("/proc/self/status");
  std::string line;
  bool read_any = false;
  while (std::getline(status, line)) {
    // A root process that still has the capability in its bounding or inheritable set gets it
    // back in every program it starts, so those sets count as much as the effective one.
    for (const char* set : {"CapPrm:", "CapEff:", "CapBnd:", "CapInh:", "CapAmb:"}) {
      if (line.rfind(set, 0) == 0) {
        read_any = true;
        if ((std::stoull(line.substr(7), nullptr, 16) >> kCapSysTime) & 1) return true;
      }
    }
  }
  return !read_any;
}

}  // namespace horalux::testing
