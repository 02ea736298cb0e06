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
  const Case cases[] = {
      {{}, Action::kRun, std::nullopt, ""},
      {{"http://intranet.example/x"}, Action::kRun, "http://intranet.example/x", ""},
      // Refused at the request, as a typed URL would be, not here.
      {{"ftp://host/"}, Action::kRun, "ftp://host/", ""},
      {{""}, Action::kRun, "", ""},
      {{"--", "-odd"}, Action::kRun, "-odd", ""},
      {{"--help"}, Action::kShowHelp, std::nullopt, "用法：horalux [网址]\n\n从网站"},
      {{"http://a/", "-h"}, Action::kShowHelp, std::nullopt, "用法：horalux [网址]"},
      {{"--version"}, Action::kShowVersion, std::nullopt, "Horalux 1."},
      {{"http://a/", "http://b/"},
       Action::kUsageError,
       std::nullopt,
       "horalux：只能给出一个网址，却给出了多个：“http://a/”、“http://b/”。\n用法：horalux [网址]\n"
       "运行“horalux --help”查看说明。\n"},
      {{"-platform", "offscreen"},
       Action::kUsageError,
       std::nullopt,
       "horalux：不认识的选项“-platform”。\n"},
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

TEST(WaitingTextTest, NamesTheHostOfTheUrlOrTheShortenedTextWhenThereIsNone) {
  struct Case {
    std::string url;
    std::string host;
  };
  const Case cases[] = {
      {"http://www.baidu.com/", "www.baidu.com"},
      {"https://user:pw@Intranet.Example:8443/time?x#y", "Intranet.Example"},
      {"http://127.0.0.1:8080", "127.0.0.1"},
      {"http://[::1]:8080/x", "[::1]"},
      {"www.example.com", "www.example.com"},
      {"http:///nohost", "http:///nohost"},
      {"网址网址网址网址网址网址网址网址网址网址网址网址网址网址网址网址网址网址网址网址网址",
       "网址网址网址网址网址网址网址网址网址网址网址网址网址网址网址网址网址网址网址网址…"},
      {"line\nbreak", "line break"},
  };
  for (const Case& c : cases) EXPECT_EQ(HostForDisplay(c.url), c.host) << c.url;
  EXPECT_EQ(WaitingText("http://127.0.0.1:1/x"), "正在从 127.0.0.1 获取时间……");
}

}  // namespace
}  // namespace horalux
