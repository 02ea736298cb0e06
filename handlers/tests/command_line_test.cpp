#include "handlers/command_line.h"

#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "handlers/waiting_text.h"

namespace horalux {
namespace {

using Action = CommandLine::Action;

TEST(CommandLineTest, OneUrlRunsWithItVerbatimHelpAndVersionAreShownAnythingElseIsAUsageError) {
  struct Case {
    std::vector<std::string> arguments;
    Action action;
    std::optional<std::string> url;
    std::string text_start;
  };
  const std::string see_help = "\n用法：horalux [网址]\n运行“horalux --help”查看说明。\n";
  const Case cases[] = {
      {{}, Action::kRun, std::nullopt, ""},
      // Refused at the request, as a typed URL would be, not here.
      {{"ftp://host/x"}, Action::kRun, "ftp://host/x", ""},
      {{"--", "-odd"}, Action::kRun, "-odd", ""},
      {{"http://a/", "--help"}, Action::kShowHelp, std::nullopt, "用法：horalux [网址]\n\n从网站"},
      {{"--version"}, Action::kShowVersion, std::nullopt, "Horalux 1."},
      {{"http://a/", "b"},
       Action::kUsageError,
       std::nullopt,
       "horalux：只能给出一个网址，却给出了多个：“http://a/”、“b”。" + see_help},
      {{"-platform", "x"},
       Action::kUsageError,
       std::nullopt,
       "horalux：不认识的选项“-platform”。" + see_help},
  };
  for (const Case& c : cases) {
    const CommandLine parsed = ParseCommandLine("horalux", c.arguments);
    const std::string what = ::testing::PrintToString(c.arguments);
    EXPECT_EQ(parsed.action, c.action) << what;
    EXPECT_EQ(parsed.url, c.url) << what;
    EXPECT_TRUE(parsed.text.starts_with(c.text_start)) << what << ": " << parsed.text;
    EXPECT_EQ(parsed.text.empty(), c.action == Action::kRun) << what;
  }
}

TEST(CommandLineTest, ScheduleTakesUrlsAndAProxyUnscheduleAndStatusTakeNothing) {
  struct Case {
    std::vector<std::string> arguments;
    Action action;
    std::vector<std::string> urls;
    std::string proxy;
    std::string error;  // the start of a usage error's text
  };
  const Case cases[] = {
      {{"--schedule"}, Action::kSchedule, {}, "", ""},
      {{"--schedule", "http://a/", "--proxy", "http://p:3128", "https://b/"},
       Action::kSchedule,
       {"http://a/", "https://b/"},
       "http://p:3128",
       ""},
      {{"http://a/", "--schedule", "--", "-odd"}, Action::kSchedule, {"http://a/", "-odd"}, "", ""},
      {{"--unschedule"}, Action::kUnschedule, {}, "", ""},
      {{"--status"}, Action::kStatus, {}, "", ""},
      {{"--schedule", "--help"}, Action::kShowHelp, {}, "", ""},
      {{"--schedule", "--proxy"}, Action::kUsageError, {}, "", "horalux：“--proxy”后面应给出"},
      {{"--schedule", "--unschedule"},
       Action::kUsageError,
       {},
       "",
       "horalux：“--unschedule”不能与 --schedule 同用。"},
      {{"--status", "http://a/"},
       Action::kUsageError,
       {},
       "",
       "horalux：--status 不接受网址，却给出了“http://a/”。"},
  };
  for (const Case& c : cases) {
    const CommandLine parsed = ParseCommandLine("horalux", c.arguments);
    const std::string what = ::testing::PrintToString(c.arguments);
    EXPECT_EQ(parsed.action, c.action) << what;
    EXPECT_EQ(parsed.urls, c.urls) << what;
    EXPECT_EQ(parsed.proxy, c.proxy) << what;
    EXPECT_TRUE(parsed.text.starts_with(c.error)) << what << ": " << parsed.text;
  }
}

TEST(WaitingTextTest, NamesTheHostOfTheUrlOrTheShortenedTextWhenThereIsNone) {
  const std::pair<std::string, std::string> cases[] = {
      {"https://user:pw@Intranet.Example:8443/time?x#y", "Intranet.Example"},
      {"http://[::1]:8080/x", "[::1]"},
      {"www.example.com", "www.example.com"},
      {"http:///nohost", "http:///nohost"},
      {std::string(39, 'a') + "网址", std::string(39, 'a') + "网…"},
      {"line\nbreak", "line break"},
  };
  for (const auto& [url, host] : cases) EXPECT_EQ(HostForDisplay(url), host) << url;
  EXPECT_EQ(WaitingText("http://127.0.0.1:1/x"), "正在从 127.0.0.1 获取时间……");
}

}  // namespace
}  // namespace horalux
