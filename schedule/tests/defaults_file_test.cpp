#include "schedule/defaults_file.h"

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "runtime/base/error.h"

namespace horalux {
namespace {

TEST(DefaultsFileTest, SetsTheSitesAndTheProxyWhereTheyStoodAndKeepsEveryOtherLine) {
  struct Case {
    std::string file;
    std::vector<std::string> urls;
    std::string proxy;
    std::string expected;
  };
  const Case cases[] = {
      // The package's file: the commented-out example becomes the setting.
      {"# sites\n#HORALUX_URLS=\"http://intranet.example/\"\n#HORALUX_OPTIONS=\"--proxy x\"\n",
       {"http://a/", "https://b:8443/t?x=1&y=$z"},
       "",
       "# sites\nHORALUX_URLS=\"http://a/ https://b:8443/t?x=1&y=\\$z\"\n"
       "#HORALUX_OPTIONS=\"--proxy x\"\n"},
      // A setting already there is replaced, and a later one, which would win, goes.
      {"A=1\nHORALUX_URLS=\"http://old/\"\nB=2\n  HORALUX_URLS=http://older/\n",
       {"http://new/"},
       "http://proxy:3128",
       "A=1\nHORALUX_URLS=\"http://new/\"\nB=2\nHORALUX_OPTIONS=\"--proxy http://proxy:3128\"\n"},
      // No file yet; a last line without its newline gets one.
      {"", {"http://a/"}, "", "HORALUX_URLS=\"http://a/\"\n"},
      {"X=1", {"http://a/"}, "", "X=1\nHORALUX_URLS=\"http://a/\"\n"},
  };
  for (const Case& c : cases) {
    const std::string written = WithSchedule(c.file, c.urls, c.proxy);
    EXPECT_EQ(written, c.expected) << c.file;
    EXPECT_EQ(ScheduledUrls(written), c.urls) << c.file;
  }
}

TEST(DefaultsFileTest, RefusesWhatTheFileCannotCarryAsOneWord) {
  for (const std::string url :
       {"http://a/ b", "http://a/\"", "http://a/\\", "http://a/`id`", "http://a/\n"}) {
    try {
      WithSchedule("", {url}, "");
      ADD_FAILURE() << url;
    } catch (const Error& error) {
      EXPECT_EQ(error.kind(), ErrorKind::kInvalidUrl) << url;
    }
  }
}

}  // namespace
}  // namespace horalux
