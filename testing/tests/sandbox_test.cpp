// The suite must never be able to move this machine's clock or reach another machine. These tests
// fail when it is run outside the sandbox that scripts/test.sh sets up.
#include <fstream>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "testing/clock_guard.h"

namespace {

TEST(Sandbox, ProcessCannotSetTheClock) {
  EXPECT_FALSE(horalux::testing::ProcessMaySetTheClock()) << "CAP_SYS_TIME is within reach";
}

TEST(Sandbox, OnlyLoopbackNetworkIsPresent) {
  // /proc/self/net belongs to the process's network namespace; /sys/class/net may not.
  std::ifstream devices("/proc/self/net/dev");
  std::string line;
  std::set<std::string> interfaces;
  while (std::getline(devices, line)) {
    const auto colon = line.find(':');
    if (colon == std::string::npos) continue;
    const auto first = line.find_first_not_of(' ');
    interfaces.insert(line.substr(first, colon - first));
  }
  EXPECT_EQ(interfaces, std::set<std::string>{"lo"});
}

}  // namespace
