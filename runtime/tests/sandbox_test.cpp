// The suite must never be able to move this machine's clock or reach another machine. These tests
// fail when it is run outside the sandbox that scripts/test.sh sets up.
#include <cstdint>
#include <fstream>
#include <set>
#include <string>

#include <gtest/gtest.h>

namespace {

constexpr int kCapSysTime = 25;

std::uint64_t CapabilityMask(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind(field + ":", 0) == 0) {
      return std::stoull(line.substr(field.size() + 1), nullptr, 16);
    }
  }
  ADD_FAILURE() << field << " not found in /proc/self/status";
  return ~std::uint64_t{0};
}

TEST(Sandbox, ProcessCannotSetTheClock) {
  for (const char* field : {"CapEff", "CapPrm", "CapBnd", "CapInh", "CapAmb"}) {
    EXPECT_EQ(CapabilityMask(field) & (std::uint64_t{1} << kCapSysTime), 0u)
        << field << " holds CAP_SYS_TIME";
  }
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
