// The package's service as systemd starts it, from end to end: its ExecStart= with the sites that
// --schedule wrote into /etc/default/horalux, run in the sandbox with the built program, against a
// loopback server whose clock runs 2.345 s ahead and the stand-in for systemd-timedated. The
// environment file is read by the shell, whose reading of a double-quoted value with \$ and of an
// unquoted $VAR split into words is systemd's for everything --schedule writes.
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "schedule/defaults_file.h"
#include "schedule/timedated_ntp_linux.h"
#include "testing/clock_guard.h"
#include "testing/offset_time_server.h"
#include "testing/scoped_environment.h"
#include "testing/temporary_directory.h"
#include "testing/timedated_mock.h"

namespace horalux {
namespace {

using namespace std::chrono_literals;

std::string Read(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// The value of `key`= in the unit's text.
std::string UnitSetting(const std::string& unit, const std::string& key) {
  std::istringstream lines(unit);
  for (std::string line; std::getline(lines, line);) {
    if (line.starts_with(key + "=")) return line.substr(key.size() + 1);
  }
  return {};
}

TEST(ScheduledServiceTest, TheServicesCommandWithTheScheduledSitesMakesOneSetTimeCall) {
  ASSERT_FALSE(testing::ProcessMaySetTheClock()) << "run the tests through scripts/sandbox.sh";
  testing::PrivateSystemBus bus;
  testing::TimedatedMock timedated(bus);
  timedated.SetNtp(false);
  const testing::OffsetTimeServer server(2345ms, 5ms, 15ms);

  const std::string unit = Read(HORALUX_SERVICE_UNIT);
  ASSERT_EQ(UnitSetting(unit, "EnvironmentFile"), std::string(kDefaultsFile));
  std::string command = UnitSetting(unit, "ExecStart");
  const std::string installed = "/usr/bin/horalux ";
  ASSERT_TRUE(command.starts_with(installed)) << command;
  command.replace(0, installed.size(), HORALUX_PROGRAM " ");

  const testing::TemporaryDirectory root("horalux-service-");
  const std::string defaults = root.path() + "/horalux";
  std::ofstream(defaults) << WithSchedule(Read(HORALUX_PACKAGED_DEFAULTS), {server.Url()}, "");
  const std::string shell = "env -i PATH=/usr/bin:/bin DBUS_SYSTEM_BUS_ADDRESS='" + bus.address() +
                            "' sh -c 'set -a; . " + defaults + "; exec " + command + "' 2>&1";
  FILE* pipe = ::popen(shell.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buffer[4096];
  while (const std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe)) {
    output.append(buffer, read);
  }
  const int status = ::pclose(pipe);
  SCOPED_TRACE(output);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);

  const auto calls = timedated.SetTimeCalls();
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_TRUE(calls[0].relative);
  EXPECT_FALSE(calls[0].interactive);
  EXPECT_LT(std::chrono::abs(std::chrono::microseconds(calls[0].usec_utc) - 2345ms), 30ms);
  EXPECT_EQ(server.Requests().empty(), false);
}

// What --schedule warns on: timedated's NTP property, as timedatectl set-ntp leaves it; nothing
// where no timedated answers.
TEST(ScheduledServiceTest, TimedatedsNtpPropertyIsReadAndItsAbsenceIsNoAnswer) {
  testing::PrivateSystemBus bus;
  const testing::ScopedEnvironment on_bus("DBUS_SYSTEM_BUS_ADDRESS", bus.address());
  EXPECT_EQ(TimedatedReportsNtp(), std::nullopt);
  testing::TimedatedMock timedated(bus);
  for (const bool ntp : {true, false}) {
    timedated.SetNtp(ntp);
    EXPECT_EQ(TimedatedReportsNtp(), ntp);
  }
}

}  // namespace
}  // namespace horalux
