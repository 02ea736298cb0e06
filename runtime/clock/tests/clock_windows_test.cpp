// The Windows clock's refusal for want of the privilege, worded by the token's elevation. Only
// under Wine, which refuses every setting that would move its clock (ERROR_PRIVILEGE_NOT_HELD) and
// never moves the machine's: on Windows itself an elevated run would set the clock.
#include "runtime/clock/clock_windows.h"

#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "runtime/base/error.h"
#include "testing/wine.h"

namespace horalux {
namespace {

struct ElevationCase {
  Elevation elevation;
  const char* advice;    // what the message tells the user to do
  const char* not_said;  // the other advice, which must not be given
};

TEST(WindowsClockRefusal, AdviceFollowsTheTokensElevation) {
  if (!testing::RunningUnderWine()) GTEST_SKIP() << "would set the clock on Windows itself";
  const ElevationCase cases[] = {
      {Elevation::kNotElevated, "请右键单击本程序，选择“以管理员身份运行”", "本地安全策略"},
      {Elevation::kUnknown, "请右键单击本程序，选择“以管理员身份运行”", "本地安全策略"},
      {Elevation::kElevated,
       "（本地安全策略 → 用户权限分配 → 更改系统时间）：请联系管理这台计算机的人员",
       "以管理员身份运行"},
  };
  for (const auto& c : cases) {
    int asked = 0;
    const auto clock = OpenWindowsClock([&] {
      ++asked;
      return c.elevation;
    });
    SYSTEMTIME now{};
    ::GetLocalTime(&now);
    // Twelve hours away: Wine refuses anything beyond half a second from now.
    const auto time_of_day = std::chrono::hours{(now.wHour + 12) % 24};
    try {
      clock->SetLocalTimeOfDay(time_of_day);
      ADD_FAILURE() << "Wine set the clock";
    } catch (const Error& error) {
      const std::string detail = error.detail();
      EXPECT_EQ(error.kind(), ErrorKind::kClockRefused) << detail;
      EXPECT_NE(detail.find("Windows 拒绝修改系统时间"), std::string::npos) << detail;
      EXPECT_NE(detail.find("错误代码 1314"), std::string::npos) << detail;
      EXPECT_NE(detail.find(c.advice), std::string::npos) << detail;
      EXPECT_EQ(detail.find(c.not_said), std::string::npos) << detail;
    }
    EXPECT_EQ(asked, 1);
  }
}

// Wine takes a time within half a second of its own (and changes nothing), and refuses any other
// with ERROR_PRIVILEGE_NOT_HELD, which the correction names as Wine's own limit.
TEST(WindowsClockCorrection, WineTakesWhatIsCloseAndNamesItsLimitOtherwise) {
  if (!testing::RunningUnderWine()) GTEST_SKIP() << "would set the clock on Windows itself";
  const struct {
    std::chrono::microseconds offset;
    const char* refusal;  // nullptr: taken
  } cases[] = {
      {std::chrono::milliseconds(200), nullptr},
      {std::chrono::milliseconds(-200), nullptr},
      {std::chrono::seconds(10), "要将系统时钟调快 10.000 秒"},
      {std::chrono::milliseconds(-618), "要将系统时钟调慢 0.618 秒"},
      {std::chrono::hours(24 * 1096), "要将系统时钟调快 94694400.000 秒"},  // three years
  };
  const auto clock = OpenWindowsClock([] { return Elevation::kElevated; });
  for (const auto& c : cases) {
    try {
      clock->AdjustBy(c.offset);
      EXPECT_EQ(c.refusal, nullptr) << "taken: " << c.offset.count();
    } catch (const Error& error) {
      ASSERT_NE(c.refusal, nullptr) << error.what();
      const std::string detail = error.detail();
      EXPECT_EQ(error.kind(), ErrorKind::kClockRefused) << detail;
      EXPECT_NE(detail.find(c.refusal), std::string::npos) << detail;
      EXPECT_NE(detail.find("错误代码 1314"), std::string::npos) << detail;
      EXPECT_NE(detail.find("Wine 只接受与当前时间相差不到 0.5 秒的时间"), std::string::npos)
          << detail;
      EXPECT_EQ(detail.find("本地安全策略"), std::string::npos) << detail;
    }
  }
}

}  // namespace
}  // namespace horalux
