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
    std::vector<std::string> urls = {};  // kQuery, kSync
    std::string proxy = {};
  };
  const std::string see_help = "\n用法：horalux [网址]\n运行“horalux --help”查看说明。\n";
  const std::string see_windowless_help =
      "\n用法：horalux --query|--sync [--proxy 代理网址] [网址 ...]\n运行“horalux "
      "--help”查看说明。\n";
  const std::vector<std::string> eight(8, "https://a/");
  std::vector<std::string> query_eight = eight;
  query_eight.insert(query_eight.begin(), "--query");
  std::vector<std::string> nine = eight;
  nine.insert(nine.begin(), "--sync");
  nine.push_back("http://b/");
  const Case cases[] = {
      {{}, Action::kRun, std::nullopt, ""},
      // Refused at the request, as a typed URL would be, not here.
      {{"ftp://host/x"}, Action::kRun, "ftp://host/x", ""},
      {{"--", "-odd"}, Action::kRun, "-odd", ""},
      {{"http://a/", "--help"},
       Action::kShowHelp,
       std::nullopt,
       "用法：horalux [网址]\n      horalux --query|--sync [--proxy 代理网址] [网址 "
       "...]\n      horalux --schedule [--proxy 代理网址] [网址 ...] | --unschedule | "
       "--status\n\n从网站"},
      {{"--version"}, Action::kShowVersion, std::nullopt, "Horalux 1."},
      {{"http://a/", "b"},
       Action::kUsageError,
       std::nullopt,
       "horalux：只能给出一个网址，却给出了多个：“http://a/”、“b”。" + see_help},
      {{"-platform", "x"},
       Action::kUsageError,
       std::nullopt,
       "horalux：不认识的选项“-platform”。" + see_help},
      {{"--query"}, Action::kQuery, std::nullopt, "", {"http://www.baidu.com/"}},
      {{"--sync", "--proxy", "http://p:3128", "HTTPS://a/", "http://b/"},
       Action::kSync,
       std::nullopt,
       "",
       {"HTTPS://a/", "http://b/"},
       "http://p:3128"},
      {{"--proxy=p:3128", "--query", "--query"},
       Action::kQuery,
       std::nullopt,
       "",
       {"http://www.baidu.com/"},
       "p:3128"},
      {query_eight, Action::kQuery, std::nullopt, "", eight},
      {nine, Action::kUsageError, std::nullopt,
       "horalux：最多只能给出 8 个网址，却给出了 9 个。" + see_windowless_help},
      {{"--query", "--sync"},
       Action::kUsageError,
       std::nullopt,
       "horalux：--query 和 --sync 只能选一个。" + see_windowless_help},
      {{"--sync", "ftp://a/"},
       Action::kUsageError,
       std::nullopt,
       "horalux：“ftp://a/” 不是 http 或 https 网址。" + see_windowless_help},
      {{"--sync", "--proxy"},
       Action::kUsageError,
       std::nullopt,
       "horalux：--proxy 后面缺少代理的网址。" + see_windowless_help},
      {{"--proxy", "p:1", "http://a/"},
       Action::kUsageError,
       std::nullopt,
       "horalux：--proxy 只能与 --query、--sync 或 --schedule 一起使用。" + see_help},
  };
  for (const Case& c : cases) {
    const CommandLine parsed = ParseCommandLine("horalux", c.arguments);
    const std::string what = ::testing::PrintToString(c.arguments);
    EXPECT_EQ(parsed.action, c.action) << what;
    EXPECT_EQ(parsed.url, c.url) << what;
    EXPECT_TRUE(parsed.text.starts_with(c.text_start)) << what << ": " << parsed.text;
    EXPECT_EQ(parsed.urls, c.urls) << what;
    EXPECT_EQ(parsed.proxy, c.proxy) << what;
    const bool runs =
        c.action == Action::kRun || c.action == Action::kQuery || c.action == Action::kSync;
    EXPECT_EQ(parsed.text.empty(), runs) << what;
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
      {{"--schedule"}, Action::kSchedule, {"http://www.baidu.com/"}, "", ""},
      {{"--schedule", "http://a/", "--proxy", "http://p:3128", "https://b/"},
       Action::kSchedule,
       {"http://a/", "https://b/"},
       "http://p:3128",
       ""},
      {{"--unschedule"}, Action::kUnschedule, {}, "", ""},
      {{"--status"}, Action::kStatus, {}, "", ""},
      {{"--schedule", "--help"}, Action::kShowHelp, {}, "", ""},
      {{"--schedule", "ftp://a/"}, Action::kUsageError, {}, "", "horalux：“ftp://a/” 不是 http"},
      {{"--schedule", "--sync"},
       Action::kUsageError,
       {},
       "",
       "horalux：“--sync”不能与 --schedule 同用。"},
      {{"--status", "http://a/"},
       Action::kUsageError,
       {},
       "",
       "horalux：--status 不接受网址，却给出了“http://a/”。"},
      {{"--unschedule", "--proxy", "p:1"},
       Action::kUsageError,
       {},
       "",
       "horalux：--unschedule 不接受 --proxy。"},
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
