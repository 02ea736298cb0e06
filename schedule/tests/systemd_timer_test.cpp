// The scheduled correction on Linux against stand-ins for systemctl and journalctl (scripts that
// record their arguments and answer as the real ones do), in a temporary root.
#include "schedule/systemd_timer_linux.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "runtime/base/error.h"
#include "testing/temporary_directory.h"

namespace horalux {
namespace {

std::string Read(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

void Write(const std::string& path, const std::string& content, mode_t mode = 0644) {
  std::ofstream(path) << content;
  ::chmod(path.c_str(), mode);
}

class SystemdTimerTest : public ::testing::Test {
 protected:
  SystemdTimerTest() : root_("horalux-schedule-") {
    places_.defaults_file = root_.path() + "/horalux";
    places_.systemctl = root_.path() + "/systemctl";
    places_.journalctl = root_.path() + "/journalctl";
    places_.ntp = [this] { return ntp_; };
    Write(places_.defaults_file, Read(HORALUX_PACKAGED_DEFAULTS));
    // Each records its arguments; `show` answers from the file named after the unit.
    Write(places_.systemctl,
          "#!/bin/sh\necho \"$*\" >>" + Log() + "\n" + "if [ \"$1\" = show ]; then cat \"" +
              root_.path() + "/$2\" 2>/dev/null; fi\n" + "if [ -e " + root_.path() +
              "/missing ]; then\n"
              "  echo 'Failed to enable unit: Unit file horalux-sync.timer does not exist.' >&2\n"
              "  exit 1\nfi\n",
          0755);
    Write(
        places_.journalctl,
        "#!/bin/sh\necho \"journalctl $*\" >>" + Log() + "\n" +
            "echo '2026-12-09T10:00:03+0800 pc horalux[42]: 本机时钟比网站慢 0.120 秒，已校正。'\n",
        0755);
  }

  std::string Log() const { return root_.path() + "/log"; }

  testing::TemporaryDirectory root_;
  SystemdPlaces places_;
  std::optional<bool> ntp_ = false;
};

TEST_F(SystemdTimerTest, ScheduleWritesTheSitesIntoTheFileAndEnablesAndStartsTheTimerAlone) {
  const std::string before = Read(places_.defaults_file);
  const ScheduleOutput output =
      ScheduleTimer({{"http://a.example/", "https://b.example/t"}, ""}, places_);
  std::string expected = before;
  const std::string example = "#HORALUX_URLS=\"http://intranet.example/\"";
  ASSERT_NE(expected.find(example), std::string::npos);
  expected.replace(expected.find(example), example.size(),
                   "HORALUX_URLS=\"http://a.example/ https://b.example/t\"");
  EXPECT_EQ(Read(places_.defaults_file), expected);
  EXPECT_EQ(Read(Log()), "enable --now horalux-sync.timer\n");
  EXPECT_TRUE(output.warnings.empty());
  ASSERT_EQ(output.lines.size(), 2u);

  ScheduleOutput undone = UnscheduleTimer(places_);
  EXPECT_EQ(Read(Log()), "enable --now horalux-sync.timer\ndisable --now horalux-sync.timer\n");
  EXPECT_EQ(Read(places_.defaults_file), expected);
  EXPECT_EQ(undone.lines.size(), 1u);
}

TEST_F(SystemdTimerTest, WarnsWhereNtpKeepsTheClockAndRefusesBeforeWritingWhatCannotRun) {
  ntp_ = true;
  EXPECT_EQ(ScheduleTimer({{"http://a/"}, ""}, places_).warnings.size(), 1u);

  const std::string before = Read(places_.defaults_file);
  const std::string log = Read(Log());
  for (const std::vector<std::string>& urls : {std::vector<std::string>{},
                                               {"ftp://a/"},
                                               {"-x"},
                                               std::vector<std::string>(9, "http://a/")}) {
    EXPECT_THROW(ScheduleTimer({urls, ""}, places_), Error);
  }
  EXPECT_EQ(Read(places_.defaults_file), before);
  EXPECT_EQ(Read(Log()), log);

  // Without the package's units, systemctl's words and what to do.
  Write(root_.path() + "/missing", "");
  try {
    ScheduleTimer({{"http://a/"}, ""}, places_);
    ADD_FAILURE();
  } catch (const Error& error) {
    EXPECT_NE(error.detail().find("does not exist"), std::string::npos) << error.what();
    EXPECT_NE(error.detail().find("安装 horalux 软件包"), std::string::npos) << error.what();
  }
}

TEST_F(SystemdTimerTest, StatusShowsTheTimerItsRunsTheSitesAndTheLastRunsLines) {
  ScheduleTimer({{"http://a/"}, ""}, places_);
  Write(root_.path() + "/horalux-sync.timer",
        "UnitFileState=enabled\nActiveState=active\n"
        "NextElapseUSecRealtime=Wed 2026-12-09 11:00:00 CST\n"
        "LastTriggerUSec=Wed 2026-12-09 10:00:01 CST\n");
  Write(root_.path() + "/horalux-sync.service",
        "Result=exit-code\nExecMainStatus=1\nExecMainExitTimestamp=Wed 2026-12-09 10:00:04 CST\n");
  const ScheduleOutput output = TimerStatus(places_);
  const std::vector<std::string> expected = {
      "定时校正：已启用（horalux-sync.timer，active）",
      "网址：http://a/",
      "下次运行：Wed 2026-12-09 11:00:00 CST",
      "上次运行：Wed 2026-12-09 10:00:01 CST",
      "上次结果：失败（exit-code，退出状态 1）",
      "最近的运行记录：",
      "  2026-12-09T10:00:03+0800 pc horalux[42]: 本机时钟比网站慢 0.120 秒，已校正。",
  };
  EXPECT_EQ(output.lines, expected);
}

}  // namespace
}  // namespace horalux
