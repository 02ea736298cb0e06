// The built program's windowless modes from end to end, as a script runs them: on loopback, against
// servers whose clocks run known offsets from this machine's and answer after 5–15 ms each way,
// with no display to be had and the system bus pointed at a stand-in for systemd-timedated. What
// it prints must hold the true offset within the bound it prints, and --sync must ask for exactly
// one relative move carrying that offset.
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "testing/clock_guard.h"
#include "testing/offset_time_server.h"
#include "testing/timedated_mock.h"

namespace horalux {
namespace {

using namespace std::chrono;
using namespace std::chrono_literals;

struct ProgramRun {
  int status = -1;
  std::string output;  // standard output and standard error
};

// Runs the program with `arguments` and the system bus at `bus_address`, without a display and
// without proxies.
ProgramRun RunProgram(const std::string& arguments, const std::string& bus_address) {
  const std::string command =
      "env -u http_proxy -u https_proxy -u all_proxy -u HTTPS_PROXY -u ALL_PROXY -u no_proxy "
      "-u WAYLAND_DISPLAY DISPLAY=:nowhere QT_QPA_PLATFORM=xcb DBUS_SYSTEM_BUS_ADDRESS='" +
      bus_address + "' " HORALUX_PROGRAM " " + arguments + " 2>&1";
  ProgramRun run;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  while (const std::size_t read = std::fread(buffer, 1, sizeof buffer, pipe)) {
    run.output.append(buffer, read);
  }
  const int wait_status = ::pclose(pipe);
  run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : -1;
  return run;
}

struct Printed {
  microseconds offset;
  microseconds bound;
};

// The offset and bound of the summary line: （+2.345 秒，误差 ±0.006 秒，
std::optional<Printed> SummaryFigures(const std::string& output) {
  static const std::regex figures("（([+-][0-9]+)\\.([0-9]{3}) 秒，误差 ±([0-9]+)\\.([0-9]{3}) 秒");
  std::smatch match;
  if (!std::regex_search(output, match, figures)) return std::nullopt;
  const long long whole = std::stoll(match[1]);
  const long long fraction = std::stoll(match[2]);
  const long long offset_ms = whole * 1000 + (match[1].str()[0] == '-' ? -fraction : fraction);
  return Printed{milliseconds(offset_ms),
                 milliseconds(std::stoll(match[3]) * 1000 + std::stoll(match[4]))};
}

const microseconds kOffsets[] = {2345ms, -618ms, duration_cast<microseconds>(years(3))};

class WindowlessModes : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(testing::ProcessMaySetTheClock()) << "run the tests through scripts/sandbox.sh";
    for (std::uint32_t i = 0; i < std::size(kOffsets); ++i) {
      servers_.push_back(
          std::make_unique<testing::OffsetTimeServer>(kOffsets[i], 5ms, 15ms, i + 1));
    }
  }

  // Each offset's server asked side by side, one run of the program each.
  std::vector<ProgramRun> RunEach(const std::string& mode) {
    std::vector<std::future<ProgramRun>> runs;
    for (const auto& server : servers_) {
      runs.push_back(std::async(std::launch::async, [&, url = server->Url()] {
        return RunProgram(mode + " " + url, bus_.address());
      }));
    }
    std::vector<ProgramRun> done;
    for (auto& run : runs) done.push_back(run.get());
    return done;
  }

  testing::PrivateSystemBus bus_;
  testing::TimedatedMock timedated_{bus_};
  std::vector<std::unique_ptr<testing::OffsetTimeServer>> servers_;
};

TEST_F(WindowlessModes, QueryPrintsAnOffsetWithinItsBoundOfTheTrueOneAndSetsNothing) {
  const std::vector<ProgramRun> runs = RunEach("--query");
  for (std::size_t i = 0; i < runs.size(); ++i) {
    SCOPED_TRACE(runs[i].output);
    EXPECT_EQ(runs[i].status, 0);
    const auto printed = SummaryFigures(runs[i].output);
    ASSERT_TRUE(printed);
    // The printed figures are rounded to the millisecond, the bound upwards.
    EXPECT_LE(abs(printed->offset - kOffsets[i]), printed->bound + 500us);
    EXPECT_LE(printed->bound, 25ms);
    EXPECT_NE(runs[i].output.find("127.0.0.1:"), std::string::npos);
  }
  EXPECT_TRUE(timedated_.SetTimeCalls().empty());
}

TEST_F(WindowlessModes, SyncAsksTimedatedForOneRelativeMoveByTheMeasuredOffset) {
  const std::vector<ProgramRun> runs = RunEach("--sync");
  std::vector<Printed> printed;
  for (const ProgramRun& run : runs) {
    SCOPED_TRACE(run.output);
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.output.find("已校正"), std::string::npos);
    const auto figures = SummaryFigures(run.output);
    ASSERT_TRUE(figures);
    printed.push_back(*figures);
  }
  const std::vector<testing::SetTimeCall> calls = timedated_.SetTimeCalls();
  ASSERT_EQ(calls.size(), std::size(kOffsets));
  for (std::size_t i = 0; i < printed.size(); ++i) {
    // The runs went side by side; each offset is far from the others.
    const auto call = std::find_if(calls.begin(), calls.end(), [&](const auto& c) {
      return abs(microseconds(c.usec_utc) - kOffsets[i]) < 1s;
    });
    ASSERT_NE(call, calls.end()) << "no move for offset " << kOffsets[i].count();
    EXPECT_TRUE(call->relative);
    EXPECT_FALSE(call->interactive);
    EXPECT_LE(abs(microseconds(call->usec_utc) - kOffsets[i]), printed[i].bound);
    EXPECT_LE(abs(microseconds(call->usec_utc) - printed[i].offset), 500us);
  }
}

}  // namespace
}  // namespace horalux
